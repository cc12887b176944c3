# What the Windows build needs beyond the sources: the run-time DLLs beside
enable_language(RC)
# the programs, and bzip2 as "bzip2.dll".

# zlib comes from Debian's mingw-w64 package as zlib1.dll; the POSIX thread
# library of the compiler's run time as libwinpthread-1.dll. Both go into
# the one output folder, where Windows looks first for a program's DLLs.
set(_tessarin_mingw_root /usr/${TESSARIN_MINGW_TRIPLET})
foreach(dll zlib1.dll libwinpthread-1.dll)
  find_file(TESSARIN_RUNTIME_${dll} ${dll}
    PATHS ${_tessarin_mingw_root}/lib ${_tessarin_mingw_root}/bin
          /usr/lib/gcc/${TESSARIN_MINGW_TRIPLET}/12-posix
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT TESSARIN_RUNTIME_${dll})
    message(FATAL_ERROR "${dll} for ${TESSARIN_MINGW_TRIPLET} not found (tools/bootstrap installs it)")
  endif()
  file(COPY ${TESSARIN_RUNTIME_${dll}} DESTINATION ${CMAKE_BINARY_DIR}/bin)
endforeach()

# bzip2: Debian ships no libbz2 for Windows. bzip2.dll is built from the
# library's sources in third_party/bzip2, and the engine imports it with
# delayed loading: the DLL is looked for at the first call only, and the
# compression adapter checks that it can be loaded (with all its
# functions) before a batch uses it, so a missing bzip2.dll is reported as
# such instead of stopping the program at start.
set(_bz_source ${CMAKE_SOURCE_DIR}/third_party/bzip2)
set(_bz_dir ${CMAKE_BINARY_DIR}/bzip2-import)
set(_bz_functions
  BZ2_bzCompressInit BZ2_bzCompress BZ2_bzCompressEnd BZ2_bzDecompressInit
  BZ2_bzDecompress BZ2_bzDecompressEnd BZ2_bzReadOpen BZ2_bzReadClose
  BZ2_bzReadGetUnused BZ2_bzRead BZ2_bzWriteOpen BZ2_bzWrite BZ2_bzWriteClose
  BZ2_bzWriteClose64 BZ2_bzBuffToBuffCompress BZ2_bzBuffToBuffDecompress
  BZ2_bzlibVersion BZ2_bzopen BZ2_bzdopen BZ2_bzread BZ2_bzwrite BZ2_bzflush
  BZ2_bzclose BZ2_bzerror)
list(JOIN _bz_functions "\n" _bz_exports)
file(CONFIGURE OUTPUT ${_bz_dir}/bzip2.def CONTENT "LIBRARY bzip2.dll\nEXPORTS\n${_bz_exports}\n")
file(CONFIGURE OUTPUT ${_bz_dir}/bz_version.h CONTENT "#define BZ_VERSION \"1.1.0\"\n")

add_library(bzip2 SHARED
  ${_bz_source}/blocksort.c ${_bz_source}/bzlib.c ${_bz_source}/compress.c ${_bz_source}/crctable.c
  ${_bz_source}/decompress.c ${_bz_source}/huffman.c ${_bz_source}/randtable.c ${_bz_dir}/bzip2.def)
set_target_properties(bzip2 PROPERTIES PREFIX "" C_VISIBILITY_PRESET default)
target_include_directories(bzip2 PRIVATE ${_bz_source} ${_bz_dir})

add_custom_command(OUTPUT ${_bz_dir}/libbzip2-delay.a
  COMMAND ${TESSARIN_MINGW_TRIPLET}-dlltool -d ${_bz_dir}/bzip2.def -D bzip2.dll -y ${_bz_dir}/libbzip2-delay.a
  DEPENDS ${_bz_dir}/bzip2.def
  COMMENT "Delay-import library for bzip2.dll")
add_custom_target(tessarin_bzip2_delaylib DEPENDS ${_bz_dir}/libbzip2-delay.a)
add_library(tessarin_bzip2_import INTERFACE)
add_dependencies(tessarin_bzip2_import tessarin_bzip2_delaylib bzip2)
target_include_directories(tessarin_bzip2_import SYSTEM INTERFACE ${_bz_source})
target_link_libraries(tessarin_bzip2_import INTERFACE ${_bz_dir}/libbzip2-delay.a delayimp)

# The Wine prefix of this build: created by the first test (a fixture) and
# private to the build folder.
set(TESSARIN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# The X display of the window tests (an Xvfb of their own): one number per
# build folder, so that two builds tested at once do not share a screen.
string(MD5 _display_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${_display_hash}" 0 3 _display_hex)
math(EXPR TESSARIN_WIN32_DISPLAY "0x${_display_hex} % 900 + 100")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR} ${TESSARIN_WINE_PREFIX})
endif()
