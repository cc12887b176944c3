// The file seam on Windows: the same guarantees as on Linux, in Win32 terms.
// Names are UTF-8 above the seam and UTF-16 below it. Every handle is opened
// with all three sharing modes, as a Linux descriptor shares: a file being
// written can be renamed into place and a temporary file removed while our
// other handles (its lock, a reader) are still open.
#include "platform/Files.h"

#include "faults/FaultInjection.h"
#include "platform/SupportWin32.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace tessarin::platform {

namespace {

using win32::FromHandle;
using win32::ToHandle;
using win32::Wide;
using win32::AttributesOf;
using win32::Fail;
using win32::ShareAll;

} // namespace

NativeHandle OpenFile(const std::string& path, FileAccess access, std::int64_t* size, FileStatus* status)
{
    DWORD desired = GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    switch (access) {
    case FileAccess::Read:
        desired = GENERIC_READ;
        flags |= FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT;
        break;
    case FileAccess::Write: disposition = CREATE_ALWAYS; break;
    case FileAccess::WriteKeep: flags |= FILE_FLAG_OPEN_REPARSE_POINT; break;
    case FileAccess::CreateNew:
        desired = GENERIC_READ | GENERIC_WRITE;
        disposition = CREATE_NEW;
        break;
    // A link planted at a well-known name (the log) must not make us empty
    // the file it points to.
    case FileAccess::WriteNoFollow:
        disposition = CREATE_ALWAYS;
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
        break;
    }
    if (access == FileAccess::CreateNew && FaultInjection::ShouldFail(FaultInjection::Operation::Create))
        return InvalidHandle;
    const std::wstring wide = Wide(path);
    if (wide.empty() || path.find('\0') != std::string::npos) {
        errno = path.empty() ? ENOENT : EINVAL;
        return InvalidHandle;
    }
    HANDLE handle = ::CreateFileW(wide.c_str(), desired, ShareAll, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        errno = folder ? EISDIR : win32::ErrnoFor(error);
        return InvalidHandle;
    }
    // Only a plain file on a disk: no device, pipe or link in its place.
    const bool regularOnly = access == FileAccess::Read || access == FileAccess::WriteKeep ||
                             access == FileAccess::WriteNoFollow;
    const DWORD attributes = AttributesOf(handle);
    const bool disk = ::GetFileType(handle) == FILE_TYPE_DISK;
    if (!disk || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (regularOnly && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        ::CloseHandle(handle);
        errno = disk && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR
                                                                                                            : EINVAL;
        return InvalidHandle;
    }
    if (size != nullptr) {
        LARGE_INTEGER length{};
        *size = ::GetFileSizeEx(handle, &length) ? length.QuadPart : -1;
    }
    if (status != nullptr && (access == FileAccess::Read || access == FileAccess::WriteKeep))
        StatHandle(FromHandle(handle), *status);
    return FromHandle(handle);
}

void CloseFile(NativeHandle handle)
{
    if (handle != InvalidHandle)
        ::CloseHandle(ToHandle(handle));
}

std::int64_t ReadFile(NativeHandle handle, std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(ToHandle(handle), buffer.data() + done, ask, &got, nullptr)) {
            // The end of a file, or of a pipe whose writer has closed it.
            if (::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE)
                break;
            win32::SetErrnoFromSystem();
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t ReadSome(NativeHandle handle, std::span<std::uint8_t> buffer)
{
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    DWORD got = 0;
    if (::ReadFile(ToHandle(handle), buffer.data(), ask, &got, nullptr))
        return got;
    // The end of a file, or of a pipe whose writer has closed it.
    if (::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE)
        return 0;
    win32::SetErrnoFromSystem();
    return -1;
}

std::int64_t ReadSomeAt(NativeHandle handle, std::span<std::uint8_t> buffer, std::uint64_t offset)
{
    // A read at an offset moves a synchronous handle's pointer: it is put
    // back, so that sequential reads go on where they were.
    LARGE_INTEGER here{};
    if (!::SetFilePointerEx(ToHandle(handle), LARGE_INTEGER{}, &here, FILE_CURRENT)) {
        win32::SetErrnoFromSystem();
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    DWORD got = 0;
    const bool read = ::ReadFile(ToHandle(handle), buffer.data(), ask, &got, &at) != 0;
    const DWORD error = ::GetLastError();
    ::SetFilePointerEx(ToHandle(handle), here, nullptr, FILE_BEGIN);
    if (read)
        return got;
    if (error == ERROR_HANDLE_EOF)
        return 0;
    ::SetLastError(error);
    win32::SetErrnoFromSystem();
    return -1;
}

bool WriteFile(NativeHandle handle, std::span<const std::uint8_t> buffer)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Write))
        return false;
    std::size_t done = 0;
    while (done < buffer.size()) {
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(ToHandle(handle), buffer.data() + done, ask, &put, nullptr))
            return Fail(0);
        if (put == 0) {
            errno = ENOSPC;
            return false;
        }
        done += put;
    }
    return true;
}

std::int64_t SeekFile(NativeHandle handle, std::int64_t distance, int origin)
{
    static constexpr DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    if (origin < 0 || origin > 2) {
        errno = EINVAL;
        return -1;
    }
    LARGE_INTEGER move{};
    move.QuadPart = distance;
    LARGE_INTEGER now{};
    if (!::SetFilePointerEx(ToHandle(handle), move, &now, methods[origin])) {
        win32::SetErrnoFromSystem();
        return -1;
    }
    return now.QuadPart;
}

std::int64_t FileSize(NativeHandle handle)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(ToHandle(handle), &size)) {
        win32::SetErrnoFromSystem();
        return -1;
    }
    return size.QuadPart;
}

bool SyncFile(NativeHandle handle)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Sync))
        return false;
    return ::FlushFileBuffers(ToHandle(handle)) ? true : Fail(0);
}

bool SyncFolderOf(const std::string&)
{
    // Windows has no flush of a folder for a program without backup
    // rights; the renames are made with MOVEFILE_WRITE_THROUGH instead,
    // which returns only once the new name is on the disk.
    return true;
}

int LastError()
{
    return errno;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

bool OpenPipe(NativeHandle& readEnd, NativeHandle& writeEnd)
{
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    if (!::CreatePipe(&reader, &writer, nullptr, 0)) {  // not inherited
        win32::SetErrnoFromSystem();
        return false;
    }
    readEnd = reinterpret_cast<NativeHandle>(reader);
    writeEnd = reinterpret_cast<NativeHandle>(writer);
    return true;
}

void KeepAccessTime(NativeHandle handle)
{
    // A last-access time of all ones asks Windows to leave it as it is for
    // the reads through this handle.
    FILE_BASIC_INFO info{};
    info.LastAccessTime.QuadPart = -1;
    (void)::SetFileInformationByHandle(ToHandle(handle), FileBasicInfo, &info, sizeof info);
}

} // namespace tessarin::platform
