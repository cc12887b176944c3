#include "platform/FileFind.h"

#include "platform/FaultInjection.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessarin {

namespace {

enum class EntryKind { Unknown, Directory, Regular, SymbolicLink, Other };

// A relative path is taken from the current directory, so that every entry
// reports a full path that stays valid when read back later. Empty and "."
// components are dropped; ".." stays, since folding it away would be wrong
// when the folder before it is a symbolic link.
std::string FullPath(const std::string& path)
{
    std::string whole;
    if (!path.empty() && path.front() == '/') {
        whole = path;
    } else {
        std::vector<char> buffer(4096);
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE)
                return path;  // no current directory to start from: keep it relative
            buffer.resize(buffer.size() * 2);
        }
        whole = std::string(buffer.data()) + "/" + path;
    }

    std::string clean;
    std::size_t start = 0;
    while (start <= whole.size()) {
        std::size_t end = whole.find('/', start);
        if (end == std::string::npos)
            end = whole.size();
        const std::string_view part(whole.data() + start, end - start);
        if (!part.empty() && part != ".") {
            clean += '/';
            clean += part;
        }
        start = end + 1;
    }
    return clean.empty() ? std::string("/") : clean;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? folder + name : folder + "/" + name;
}

} // namespace

struct CFileFind::State {
    // The names of a listed folder are read in one go: the action may add
    // files to the folder while the walk is still in it, and those must not
    // come round again as new entries.
    std::string folder;               // full path of a listed folder
    std::vector<std::string> names;   // entries still to step onto, in the order the system gave them
    std::size_t next = 0;

    std::string single;      // path to inspect for a single entry (may keep a final '/')
    std::string singlePath;  // the single entry's full path as reported

    // The current entry.
    bool current = false;
    std::string name;
    std::string path;
    EntryKind kind = EntryKind::Unknown;
    std::uint64_t length = 0;
    platform::FileIdentity identity;

    // The status that starting a search for a single entry took already:
    // the entry is not looked up a second time.
    bool known = false;
    struct stat knownStatus {};

    void Inspect(const std::string& statPath)
    {
        struct stat st {};
        // lstat: a symbolic link is reported as what it is and never followed.
        if (known) {
            st = knownStatus;
            known = false;
        } else if (::lstat(statPath.c_str(), &st) != 0) {
            kind = EntryKind::Unknown;
            length = 0;
            identity = {};
            return;
        }
        identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
        if (S_ISDIR(st.st_mode))
            kind = EntryKind::Directory;
        else if (S_ISREG(st.st_mode))
            kind = EntryKind::Regular;
        else if (S_ISLNK(st.st_mode))
            kind = EntryKind::SymbolicLink;
        else
            kind = EntryKind::Other;
        length = kind == EntryKind::Regular ? static_cast<std::uint64_t>(st.st_size) : 0;
    }
};

CFileFind::CFileFind() = default;
CFileFind::~CFileFind() = default;

bool CFileFind::FindFile(const std::string& path)
{
    const bool listing = path == "*" || (path.size() >= 2 && path.compare(path.size() - 2, 2, "/*") == 0);
    if (!listing)
        return FindEntry(path);

    Close();
    m_error = 0;
    if (path.find('\0') != std::string::npos) {
        m_error = EINVAL;
        return false;
    }
    auto state = std::make_unique<State>();
    state->folder = FullPath(path.size() == 1 ? std::string(".") : path.substr(0, path.size() - 1));
    DIR* dir = platform::FaultInjection::ShouldFail(platform::FaultInjection::Operation::List)
                   ? nullptr
                   : ::opendir(state->folder.c_str());
    if (dir == nullptr) {
        m_error = errno;
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            state->names.push_back(name);
    }
    ::closedir(dir);
    if (state->names.empty())
        return false;
    m_state = std::move(state);
    return true;
}

bool CFileFind::FindEntry(const std::string& path)
{
    Close();
    m_error = 0;
    // A name cannot hold a zero byte: the system would read the path only
    // up to it and find another file.
    if (path.empty() || path.find('\0') != std::string::npos) {
        m_error = path.empty() ? ENOENT : EINVAL;
        return false;
    }
    auto state = std::make_unique<State>();
    const std::string full = FullPath(path);
    // A final separator asks for the folder a link points at, as everywhere
    // else on the system; without one the link itself is the entry.
    const bool followLink = path.size() > 1 && path.back() == '/' && full != "/";
    state->single = followLink ? full + "/" : full;
    if (::lstat(state->single.c_str(), &state->knownStatus) != 0) {
        m_error = errno;
        return false;
    }
    state->known = true;
    const std::size_t slash = full.rfind('/');
    state->names.push_back(slash == std::string::npos ? full : full.substr(slash + 1));
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
