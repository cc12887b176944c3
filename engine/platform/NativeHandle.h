#pragma once
// How the seam holds an open file: a descriptor on POSIX systems, a HANDLE
// on Windows, as one integer type above the seam.
#include <cstdint>

namespace tessarin::platform {

#if defined(_WIN32)
// A Win32 HANDLE held as a number; INVALID_HANDLE_VALUE is -1.
using NativeHandle = std::intptr_t;
#else
using NativeHandle = int;
#endif
inline constexpr NativeHandle InvalidHandle = -1;

} // namespace tessarin::platform
