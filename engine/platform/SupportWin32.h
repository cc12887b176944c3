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
#include <vector>

namespace tessarin::platform::win32 {

// Bytes that are not UTF-8 cannot name a file here: they give an empty
// text, which no call accepts (errno EINVAL is set).
std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The error number for a system error code, and errno set from
// GetLastError() (returns the number).
int ErrnoFor(DWORD error);
int SetErrnoFromSystem();

// Every handle is opened with all three sharing modes, as a Linux
// descriptor shares.
inline constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Sets errno from GetLastError() and returns false, for the calls that
// fail that way.
template <typename T>
bool Fail(T)
{
    SetErrnoFromSystem();
    return false;
}

// The attributes of an open file (INVALID_FILE_ATTRIBUTES when unknown).
DWORD AttributesOf(HANDLE handle);

inline HANDLE ToHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}
inline std::intptr_t FromHandle(HANDLE handle)
{
    return reinterpret_cast<std::intptr_t>(handle);
}

// The names in folder (the current one when empty) but "." and "..", in
// the order the system gives them. The error number, or 0 (also for a
// folder with no entries).
int ListNames(const std::string& folder, std::vector<std::string>& names);
// What path names itself, a link (reparse point) included, never what it
// points at; false when it cannot be looked at. type: GetFileType's.
bool LookAtEntry(const std::string& path, BY_HANDLE_FILE_INFORMATION& info, DWORD& type);
// The identity of the file info tells.
inline std::uint64_t FileIndex(const BY_HANDLE_FILE_INFORMATION& info)
{
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// 100-nanosecond ticks since 1601 to seconds and nanoseconds since 1970.
void FromFileTime(std::int64_t ticks, std::int64_t& seconds, std::int64_t& nanos);
std::int64_t ToFileTime(std::int64_t seconds, std::int64_t nanos);

} // namespace tessarin::platform::win32
