// Names in the file system on Windows: removing, renaming (over an open
// file too), the read-only attribute as the owner's write permission,
// identities from the volume serial number and the file index.
#include "platform/FileSystem.h"

#include "faults/FaultInjection.h"
#include "platform/Random.h"
#include "platform/SupportWin32.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

namespace tessarin::platform {

namespace {

using win32::FromHandle;
using win32::ToHandle;
using win32::Wide;
using win32::AttributesOf;
using win32::Fail;
using win32::ShareAll;

DWORD Attributes(const std::string& path)
{
    const std::wstring wide = Wide(path);
    return wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
}

// Opens the entry a path names itself (a link is not followed), for its
// attributes and identity only.
HANDLE OpenEntry(const std::string& path)
{
    const std::wstring wide = Wide(path);
    if (wide.empty())
        return INVALID_HANDLE_VALUE;
    return ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return {info.dwVolumeSerialNumber, win32::FileIndex(info), true};
}

bool SetAttributesOf(HANDLE handle, DWORD attributes)
{
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return false;
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    basic.CreationTime.QuadPart = 0;  // 0: leave as it is
    basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = 0;
    basic.ChangeTime.QuadPart = 0;
    return ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
}

} // namespace

bool RemoveFile(const std::string& path)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Remove))
        return false;
    const std::wstring wide = Wide(path);
    if (wide.empty())
        return false;
    if (::DeleteFileW(wide.c_str()))
        return true;
    // A read-only file is removed as on Linux, where the folder decides.
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (::DeleteFileW(wide.c_str()))
            return true;
        const DWORD again = ::GetLastError();
        ::SetFileAttributesW(wide.c_str(), attributes);
        errno = win32::ErrnoFor(again);
        return false;
    }
    errno = win32::ErrnoFor(error);
    return false;
}

namespace {

// The rename of a handle with POSIX semantics: the name is taken over even
// while the file it held is open elsewhere (our wipe handle on the file
// being replaced), which the classic rename refuses.
bool RenameOpenTarget(const std::wstring& source, const std::wstring& target)
{
    struct RenameInfoEx {
        DWORD flags;
        HANDLE root;
        DWORD length;
        WCHAR name[1];
    };
    constexpr auto RenameInfoExClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);  // FileRenameInfoEx
    constexpr DWORD ReplaceIfExists = 0x1, PosixSemantics = 0x2;
    HANDLE handle = ::CreateFileW(source.c_str(), DELETE | SYNCHRONIZE, ShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const std::size_t bytes = target.size() * sizeof(WCHAR);
    std::vector<std::uint8_t> buffer(offsetof(RenameInfoEx, name) + bytes + sizeof(WCHAR), 0);
    auto* info = reinterpret_cast<RenameInfoEx*>(buffer.data());
    info->flags = ReplaceIfExists | PosixSemantics;
    info->root = nullptr;
    info->length = static_cast<DWORD>(bytes);
    std::memcpy(info->name, target.c_str(), bytes);
    const bool renamed =
        ::SetFileInformationByHandle(handle, RenameInfoExClass, buffer.data(), static_cast<DWORD>(buffer.size()));
    const DWORD error = ::GetLastError();
    if (renamed)
        ::FlushFileBuffers(handle);
    ::CloseHandle(handle);
    ::SetLastError(error);
    return renamed;
}

// Where neither rename can replace an open file (older systems, Wine), the
// file at the name is first moved aside within its folder, the new one put
// in its place, and the old one removed (its open handles stay valid). For
// the moment between the two moves the name is free; if the run dies then,
// the old file is still whole under "~aes-XXXXXXXX.old", which no sweep
// removes, never lost.
bool ReplaceInSteps(const std::wstring& source, const std::wstring& target)
{
    const auto slash = target.find_last_of(L"/\\");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    std::uint8_t stem[4] = {};
    FillRandom(stem);
    wchar_t name[32] = {};
    swprintf(name, 32, L"~aes-%02x%02x%02x%02x.old", stem[0], stem[1], stem[2], stem[3]);
    const std::wstring aside = folder + name;
    if (!::MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH))
        return false;
    if (!::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        ::SetLastError(error);
        return false;
    }
    if (!::DeleteFileW(aside.c_str())) {
        // A read-only file goes as on Linux, where only the folder decides.
        const DWORD attributes = ::GetFileAttributesW(aside.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            ::SetFileAttributesW(aside.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
            ::DeleteFileW(aside.c_str());
    }
    return true;
}

} // namespace

bool RenameFile(const std::string& from, const std::string& to)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Rename))
        return false;
    const std::wstring source = Wide(from), target = Wide(to);
    if (source.empty() || target.empty())
        return false;
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = ::GetLastError();
    // A target that is open (with delete sharing) cannot be replaced by the
    // classic rename; the POSIX one can, in one step as well.
    if (error == ERROR_ACCESS_DENIED && ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
        (RenameOpenTarget(source, target) || ReplaceInSteps(source, target)))
        return true;
    errno = win32::ErrnoFor(error);
    return false;
}

bool RenameFileNoReplace(const std::string& from, const std::string& to)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Rename))
        return false;
    const std::wstring source = Wide(from), target = Wide(to);
    if (source.empty() || target.empty())
        return false;
    // Without MOVEFILE_REPLACE_EXISTING an existing name fails the move
    // (ERROR_ALREADY_EXISTS): the check and the move are one step.
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? true : Fail(0);
}

// Windows keeps one permission of the owner's that matters here: whether
// the file may be written (the read-only attribute). The other bits read
// as 0666 or 0444.
bool SetPermissions(NativeHandle handle, unsigned mode)
{
    const DWORD attributes = AttributesOf(ToHandle(handle));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(0);
    const DWORD wanted = (mode & 0200) ? attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)
                                       : attributes | FILE_ATTRIBUTE_READONLY;
    if (wanted == attributes)
        return true;
    return SetAttributesOf(ToHandle(handle), wanted & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) ? true : Fail(0);
}

bool MakeWritable(const std::string& path)
{
    const std::wstring wide = Wide(path);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(0);
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !(attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    return ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) ? true : Fail(0);
}

bool IsRegularFile(const std::string& path)
{
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path)
{
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

FileIdentity IdentifyFile(const std::string& path)
{
    const int saved = errno;
    HANDLE handle = OpenEntry(path);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = saved;
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    errno = saved;
    return ok ? IdentityOf(info) : FileIdentity{};
}

bool StatHandle(NativeHandle handle, FileStatus& status)
{
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(ToHandle(handle), &info) ||
        !::GetFileInformationByHandleEx(ToHandle(handle), FileBasicInfo, &basic, sizeof basic))
        return Fail(0);
    status.identity = IdentityOf(info);
    status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status.links = info.nNumberOfLinks;
    status.mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444u : 0666u;
    win32::FromFileTime(basic.LastAccessTime.QuadPart, status.accessSeconds, status.accessNanos);
    win32::FromFileTime(basic.LastWriteTime.QuadPart, status.modifySeconds, status.modifyNanos);
    win32::FromFileTime(basic.ChangeTime.QuadPart, status.changeSeconds, status.changeNanos);
    return true;
}

bool StatPath(const std::string& path, FileStatus& status)
{
    const HANDLE handle = OpenEntry(path);
    if (handle == INVALID_HANDLE_VALUE)
        return Fail(0);
    const bool ok = StatHandle(FromHandle(handle), status);
    const int saved = errno;
    ::CloseHandle(handle);
    errno = saved;
    return ok;
}

bool NameFitsIn(const std::string& folder, const std::string& name)
{
    // Components are counted in UTF-16 units; most volumes take 255.
    DWORD most = 255;
    const std::wstring root = Wide(folder.empty() ? std::string(".") : folder);
    wchar_t volume[MAX_PATH + 1] = {};
    if (!root.empty() && ::GetVolumePathNameW(root.c_str(), volume, MAX_PATH + 1))
        ::GetVolumeInformationW(volume, nullptr, 0, nullptr, &most, nullptr, nullptr, 0);
    const std::wstring wide = Wide(name);
    return !wide.empty() && wide.size() <= most;
}

bool SetFileTimes(NativeHandle handle, const FileStatus& status)
{
    FILE_BASIC_INFO basic{};
    basic.LastAccessTime.QuadPart = win32::ToFileTime(status.accessSeconds, status.accessNanos);
    basic.LastWriteTime.QuadPart = win32::ToFileTime(status.modifySeconds, status.modifyNanos);
    return ::SetFileInformationByHandle(ToHandle(handle), FileBasicInfo, &basic, sizeof basic) ? true : Fail(0);
}

bool MakeWritable(NativeHandle handle)
{
    return SetPermissions(handle, 0666);
}

std::string NonRegularKind(const std::string& path)
{
    // Asked after a failure: the reason of that failure stays what it was.
    const int saved = errno;
    const DWORD attributes = Attributes(path);
    errno = saved;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {};
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "a symbolic link";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "a folder";
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return "a device";
    return {};
}

} // namespace tessarin::platform
