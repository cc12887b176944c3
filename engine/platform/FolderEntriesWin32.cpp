// The run journal's system calls on Windows. The journal's folder lies in
// the user's local application data, whose access list is the user's own.
#include "platform/FolderEntries.h"

#include "platform/SupportWin32.h"

#include <cerrno>

namespace tessarin::platform {

namespace {

using win32::ShareAll;

} // namespace

EntryStatus StatEntry(const std::string& path)
{
    EntryStatus status;
    BY_HANDLE_FILE_INFORMATION info{};
    DWORD type = FILE_TYPE_UNKNOWN;
    if (!win32::LookAtEntry(path, info, type))
        return status;
    const DWORD attributes = info.dwFileAttributes;
    status.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Other
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? EntryKind::Folder
                  : type == FILE_TYPE_DISK                    ? EntryKind::Regular
                                                              : EntryKind::Other;
    status.identity = {info.dwVolumeSerialNumber, win32::FileIndex(info), true};
    status.links = info.nNumberOfLinks;
    status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return status;
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    win32::ListNames(folder, names);
    return names;
}

bool CreatePrivateFolder(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    if (wide.empty() || !::CreateDirectoryW(wide.c_str(), nullptr)) {
        win32::SetErrnoFromSystem();
        return false;
    }
    return true;
}

bool RemoveFolder(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    if (wide.empty() || !::RemoveDirectoryW(wide.c_str())) {
        win32::SetErrnoFromSystem();
        return false;
    }
    return true;
}

NativeHandle CreateJournalFile(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    if (wide.empty()) {
        errno = EINVAL;
        return InvalidHandle;
    }
    // Appending: every write goes to the end, whatever the position.
    HANDLE handle = ::CreateFileW(wide.c_str(), FILE_APPEND_DATA | GENERIC_READ, ShareAll, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        win32::SetErrnoFromSystem();
        return InvalidHandle;
    }
    return win32::FromHandle(handle);
}

bool AppendJournal(NativeHandle handle, std::span<const std::uint8_t> bytes, bool durable)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD ask = static_cast<DWORD>(bytes.size() - done);
        if (!::WriteFile(win32::ToHandle(handle), bytes.data() + done, ask, &written, nullptr) || written == 0) {
            win32::SetErrnoFromSystem();
            return false;
        }
        done += written;
    }
    if (durable && !::FlushFileBuffers(win32::ToHandle(handle))) {
        win32::SetErrnoFromSystem();
        return false;
    }
    return true;
}

std::uint64_t ProcessId()
{
    return ::GetCurrentProcessId();
}

} // namespace tessarin::platform
