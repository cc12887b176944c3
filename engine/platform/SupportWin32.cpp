#include "platform/SupportWin32.h"

#include <cerrno>

namespace tessarin::platform::win32 {

namespace {

constexpr std::int64_t TicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t EpochDifference = 11'644'473'600;

} // namespace

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) {
        errno = EINVAL;
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          length);
    return wide;
}

std::string Narrow(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                             nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), length, nullptr,
                          nullptr);
    return narrow;
}

int ErrnoFor(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_MOD_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_NO_UNICODE_TRANSLATION: return EINVAL;
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED: return ENOSYS;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_BUSY:
    case ERROR_USER_MAPPED_FILE: return EBUSY;
    default: return EIO;
    }
}

int SetErrnoFromSystem()
{
    errno = ErrnoFor(::GetLastError());
    return errno;
}

DWORD AttributesOf(HANDLE handle)
{
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return INVALID_FILE_ATTRIBUTES;
    return basic.FileAttributes;
}

int ListNames(const std::string& folder, std::vector<std::string>& names)
{
    std::string pattern = folder.empty() ? std::string("./") : folder;
    if (pattern.back() != '/' && pattern.back() != '\\')
        pattern += '/';
    const std::wstring wide = Wide(pattern + "*");
    if (wide.empty())
        return EINVAL;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : ErrnoFor(error);
    }
    do {
        const std::string name = Narrow(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return 0;
}

bool LookAtEntry(const std::string& path, BY_HANDLE_FILE_INFORMATION& info, DWORD& type)
{
    const std::wstring wide = Wide(path);
    if (wide.empty())
        return false;
    HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
    type = ::GetFileType(handle);
    ::CloseHandle(handle);
    return ok;
}

void FromFileTime(std::int64_t ticks, std::int64_t& seconds, std::int64_t& nanos)
{
    seconds = ticks / TicksPerSecond - EpochDifference;
    nanos = (ticks % TicksPerSecond) * 100;
}

std::int64_t ToFileTime(std::int64_t seconds, std::int64_t nanos)
{
    return (seconds + EpochDifference) * TicksPerSecond + nanos / 100;
}

} // namespace tessarin::platform::win32
