// The run journal's system calls on Windows. The journal's folder lies in
// the user's local application data, whose access list is the user's own.
#include "platform/FolderEntries.h"

#include "platform/SupportWin32.h"

#include <cerrno>

namespace tessarin::platform {

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

EntryStatus StatEntry(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    if (wide.empty())
        return {};
    HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    BY_HANDLE_FILE_INFORMATION info{};
    EntryStatus status;
    if (::GetFileInformationByHandle(handle, &info)) {
        const DWORD attributes = info.dwFileAttributes;
        status.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Other
                      : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? EntryKind::Folder
                      : ::GetFileType(handle) == FILE_TYPE_DISK   ? EntryKind::Regular
                                                                  : EntryKind::Other;
        status.identity = {info.dwVolumeSerialNumber,
                           (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
        status.links = info.nNumberOfLinks;
        status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
    ::CloseHandle(handle);
    return status;
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    const std::string prefix = folder.empty() || folder.back() == '/' || folder.back() == '\\' ? folder : folder + "/";
    const std::wstring pattern = win32::Wide((prefix.empty() ? std::string("./") : prefix) + "*");
    WIN32_FIND_DATAW found{};
    HANDLE search = pattern.empty() ? INVALID_HANDLE_VALUE : ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = win32::Narrow(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
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
