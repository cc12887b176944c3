// Directory enumeration on Windows over FindFirstFileW. A reparse point
// (symbolic link, junction) is reported as a link and never walked into,
// as the Linux side treats symbolic links. Paths come back with '/'.
#include "platform/FileFind.h"

#include "platform/FaultInjection.h"
#include "platform/SupportWin32.h"

#include <cerrno>
#include <vector>

// windows.h names the system's call FindNextFileA/W through a macro that
// would rename our member as well.
#undef FindNextFile

namespace tessarin {

namespace {

enum class EntryKind { Unknown, Directory, Regular, SymbolicLink, Other };

std::string Slashed(std::string path)
{
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

// A full path with '/' as the separator and no "." or empty components;
// the root of a drive keeps its final '/' ("C:/").
std::string FullPath(const std::string& path)
{
    const std::wstring wide = platform::win32::Wide(path);
    if (wide.empty())
        return Slashed(path);
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return Slashed(path);
    std::wstring full(size, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    full.resize(n);
    std::string whole = Slashed(platform::win32::Narrow(full));
    while (whole.size() > 1 && whole.back() == '/' && !(whole.size() == 3 && whole[1] == ':'))
        whole.pop_back();
    return whole;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsListing(const std::string& path)
{
    return path == "*" || (path.size() >= 2 && path.compare(path.size() - 1, 1, "*") == 0 &&
                           (path[path.size() - 2] == '/' || path[path.size() - 2] == '\\'));
}

} // namespace

struct CFileFind::State {
    // The names of a listed folder are read in one go: the action may add
    // files to the folder while the walk is still in it, and those must not
    // come round again as new entries.
    std::string folder;
    std::vector<std::string> names;
    std::size_t next = 0;

    std::string single;
    std::string singlePath;

    bool current = false;
    std::string name;
    std::string path;
    EntryKind kind = EntryKind::Unknown;
    std::uint64_t length = 0;
    platform::FileIdentity identity;

    void Inspect(const std::string& inspected)
    {
        kind = EntryKind::Unknown;
        length = 0;
        identity = {};
        const std::wstring wide = platform::win32::Wide(inspected);
        if (wide.empty())
            return;
        // The entry itself, a link included, never what it points at.
        HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
        const DWORD type = ::GetFileType(handle);
        ::CloseHandle(handle);
        if (!ok)
            return;
        identity = {info.dwVolumeSerialNumber,
                    (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
        if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            kind = EntryKind::SymbolicLink;
        else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            kind = EntryKind::Directory;
        else if (type == FILE_TYPE_DISK && !(info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE))
            kind = EntryKind::Regular;
        else
            kind = EntryKind::Other;
        if (kind == EntryKind::Regular)
            length = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
};

CFileFind::CFileFind() = default;
CFileFind::~CFileFind() = default;

bool CFileFind::FindFile(const std::string& path)
{
    if (!IsListing(path))
        return FindEntry(path);

    Close();
    m_error = 0;
    if (path.find('\0') != std::string::npos) {
        m_error = EINVAL;
        return false;
    }
    auto state = std::make_unique<State>();
    state->folder = FullPath(path.size() == 1 ? std::string(".") : path.substr(0, path.size() - 1));
    if (platform::FaultInjection::ShouldFail(platform::FaultInjection::Operation::List)) {
        m_error = errno;
        return false;
    }
    const std::wstring pattern = platform::win32::Wide(Join(state->folder, "*"));
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        m_error = error == ERROR_FILE_NOT_FOUND ? 0 : platform::win32::ErrnoFor(error);
        return false;
    }
    do {
        const std::string name = platform::win32::Narrow(found.cFileName);
        if (name != "." && name != "..")
            state->names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    if (state->names.empty())
        return false;
    m_state = std::move(state);
    return true;
}

bool CFileFind::FindEntry(const std::string& path)
{
    Close();
    m_error = 0;
    if (path.empty() || path.find('\0') != std::string::npos) {
        m_error = path.empty() ? ENOENT : EINVAL;
        return false;
    }
    auto state = std::make_unique<State>();
    const std::string full = FullPath(path);
    state->single = full;
    const std::wstring wide = platform::win32::Wide(full);
    if (wide.empty() || ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
        m_error = wide.empty() ? EINVAL : platform::win32::ErrnoFor(::GetLastError());
        return false;
    }
    const std::size_t slash = full.rfind('/');
    state->names.push_back(slash == std::string::npos || slash + 1 == full.size() ? full : full.substr(slash + 1));
    state->singlePath = full;
    m_state = std::move(state);
    return true;
}

bool CFileFind::FindNextFile()
{
    if (!m_state || m_state->next >= m_state->names.size())
        return false;
    State& s = *m_state;
    s.current = true;
    s.name = s.names[s.next++];
    if (s.single.empty()) {
        s.path = Join(s.folder, s.name);
        s.Inspect(s.path);
    } else {
        s.path = s.singlePath;
        s.Inspect(s.single);
    }
    return s.next < s.names.size();
}

void CFileFind::Close()
{
    m_state.reset();
}

bool CFileFind::IsDots() const
{
    return m_state && m_state->current && (m_state->name == "." || m_state->name == "..");
}

bool CFileFind::IsDirectory() const
{
    return m_state && m_state->current && m_state->kind == EntryKind::Directory;
}

bool CFileFind::IsRegularFile() const
{
    return m_state && m_state->current && m_state->kind == EntryKind::Regular;
}

bool CFileFind::IsSymbolicLink() const
{
    return m_state && m_state->current && m_state->kind == EntryKind::SymbolicLink;
}

std::string CFileFind::GetFileName() const
{
    return m_state && m_state->current ? m_state->name : std::string();
}

std::string CFileFind::GetFilePath() const
{
    return m_state && m_state->current ? m_state->path : std::string();
}

std::uint64_t CFileFind::GetLength() const
{
    return m_state && m_state->current ? m_state->length : 0;
}

platform::FileIdentity CFileFind::GetIdentity() const
{
    return m_state && m_state->current ? m_state->identity : platform::FileIdentity{};
}

} // namespace tessarin
