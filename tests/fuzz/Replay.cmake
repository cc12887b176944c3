# Every ordinary test run replays each fuzz target's corpus and its inputs
# under crashes/ (named <target>-<what>) through a main without libFuzzer.
find_package(ZLIB REQUIRED)
find_package(BZip2 REQUIRED)

set(_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(fuzz_replay_support STATIC ${_fuzz_dir}/FuzzSupport.cpp ${_fuzz_dir}/ContainerCase.cpp)
target_include_directories(fuzz_replay_support PUBLIC ${_fuzz_dir})
target_link_libraries(fuzz_replay_support PUBLIC engine ZLIB::ZLIB BZip2::BZip2)
tessarin_warnings(fuzz_replay_support)

foreach(target decrypt file_table filter wildcard)
  add_executable(fuzz_replay_${target} ${_fuzz_dir}/fuzz_${target}.cpp ${_fuzz_dir}/ReplayMain.cpp)
  target_link_libraries(fuzz_replay_${target} PRIVATE fuzz_replay_support)
  tessarin_warnings(fuzz_replay_${target})
  # A crash input added later shows up at the next build.
  file(GLOB _crashes CONFIGURE_DEPENDS ${_fuzz_dir}/crashes/${target}-*)
  # Scratch folders and the engine's per-user files go to the test's own.
  set(_private ${CMAKE_CURRENT_BINARY_DIR}/fuzz-replay/${target})
  file(MAKE_DIRECTORY ${_private})
  add_test(NAME fuzz_replay.${target}
    COMMAND fuzz_replay_${target} ${_fuzz_dir}/corpus/${target} ${_crashes})
  set_tests_properties(fuzz_replay.${target} PROPERTIES LABELS fuzz TIMEOUT 300
    ENVIRONMENT "TMPDIR=${_private};HOME=${_private};XDG_RUNTIME_DIR=${_private};XDG_STATE_HOME=${_private};XDG_CONFIG_HOME=${_private}")
endforeach()
