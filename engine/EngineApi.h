#pragma once
// Symbols of libengine.so are hidden unless marked: the library's boundary is
// the set of classes the program and the command line use.
#if defined(_WIN32)
#  if defined(ENGINE_BUILDING)
#    define ENGINE_API __declspec(dllexport)
#  else
#    define ENGINE_API __declspec(dllimport)
#  endif
#else
#  define ENGINE_API __attribute__((visibility("default")))
#endif
