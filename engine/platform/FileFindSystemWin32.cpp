// Directory enumeration on Windows over FindFirstFileW. A reparse point
// (symbolic link, junction) is reported as a link and never walked into,
// as the Linux side treats symbolic links. Paths come back with '/'.
#include "platform/FileFindSystem.h"

#include "platform/SupportWin32.h"

#include <cerrno>

namespace tessarin::platform::find {

namespace {

std::string Slashed(std::string path)
{
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

} // namespace

bool IsListing(const std::string& path)
{
    return path == "*" || (path.size() >= 2 && path.compare(path.size() - 1, 1, "*") == 0 &&
                           (path[path.size() - 2] == '/' || path[path.size() - 2] == '\\'));
}

// The root of a drive keeps its final '/' ("C:/").
std::string FullPath(const std::string& path)
{
    const std::wstring wide = win32::Wide(path);
    if (wide.empty())
        return Slashed(path);
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return Slashed(path);
    std::wstring full(size, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    full.resize(n);
    std::string whole = Slashed(win32::Narrow(full));
    while (whole.size() > 1 && whole.back() == '/' && !(whole.size() == 3 && whole[1] == ':'))
        whole.pop_back();
    return whole;
}

int ListFolder(const std::string& folder, std::vector<std::string>& names)
{
    return win32::ListNames(folder, names);
}

int LookUp(const std::string&, const std::string& full, SingleEntry& entry)
{
    entry.inspected = full;
    const std::wstring wide = win32::Wide(full);
    if (wide.empty() || ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES)
        return wide.empty() ? EINVAL : win32::ErrnoFor(::GetLastError());
    const std::size_t slash = full.rfind('/');
    entry.name = slash == std::string::npos || slash + 1 == full.size() ? full : full.substr(slash + 1);
    return 0;
}

EntryStatus Inspect(const std::string& path)
{
    EntryStatus status;
    BY_HANDLE_FILE_INFORMATION info{};
    DWORD type = FILE_TYPE_UNKNOWN;
    if (!win32::LookAtEntry(path, info, type))
        return status;
    status.identity = {info.dwVolumeSerialNumber, win32::FileIndex(info), true};
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        status.kind = EntryKind::SymbolicLink;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        status.kind = EntryKind::Directory;
    else if (type == FILE_TYPE_DISK && !(info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE))
        status.kind = EntryKind::Regular;
    else
        status.kind = EntryKind::Other;
    if (status.kind == EntryKind::Regular)
        status.length = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return status;
}

} // namespace tessarin::platform::find
