#pragma once
// What the Win32 side of the seam shares: UTF-8 names to the system's
// UTF-16 and back, and the system's error codes told as the error numbers
// the rest of the engine knows (EEXIST, ENOENT, ...), so that one code
// above the seam serves both systems.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tessarin::platform::win32 {

// Bytes that are not UTF-8 cannot name a file here: they give an empty
// text, which no call accepts (errno EINVAL is set).
std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The error number for a system error code, and errno set from
// GetLastError() (returns the number).
int ErrnoFor(DWORD error);
int SetErrnoFromSystem();

inline HANDLE ToHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}
inline std::intptr_t FromHandle(HANDLE handle)
{
    return reinterpret_cast<std::intptr_t>(handle);
}

// 100-nanosecond ticks since 1601 to seconds and nanoseconds since 1970.
void FromFileTime(std::int64_t ticks, std::int64_t& seconds, std::int64_t& nanos);
std::int64_t ToFileTime(std::int64_t seconds, std::int64_t nanos);

} // namespace tessarin::platform::win32
