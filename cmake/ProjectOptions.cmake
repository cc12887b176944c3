# Warnings are errors per target, so a third-party target never inherits them.
function(tessarin_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror
    # g++ 12 at -O3 reports a false overlap in std::string concatenation such
    # as "x" + std::to_string(n) (GCC bug 105329); later releases do not.
    $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
endfunction()

if(TESSARIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TESSARIN_SANITIZE_THREAD)
  if(TESSARIN_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with ASan")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
