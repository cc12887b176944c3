// The directory search itself, the same on every system: what it asks of
// the system is behind FileFindSystem.h, so nothing here calls the system.
#include "selection/FileFind.h"

#include "faults/FaultInjection.h"
#include "platform/FileFindSystem.h"

#include <cerrno>
#include <optional>
#include <vector>

namespace tessarin {

namespace find = platform::find;

namespace {

// A full path ends with a separator only at a root ("/", "C:/").
std::string Join(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
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
    // What starting a search for a single entry saw already: the entry is
    // not looked up a second time.
    std::optional<find::EntryStatus> known;

    // The current entry.
    bool current = false;
    std::string name;
    std::string path;
    find::EntryStatus status;
};

CFileFind::CFileFind() = default;
CFileFind::~CFileFind() = default;

bool CFileFind::FindFile(const std::string& path)
{
    if (!find::IsListing(path))
        return FindEntry(path);

    Close();
    m_error = 0;
    if (path.find('\0') != std::string::npos) {
        m_error = EINVAL;
        return false;
    }
    auto state = std::make_unique<State>();
    state->folder = find::FullPath(path.size() == 1 ? std::string(".") : path.substr(0, path.size() - 1));
    if (FaultInjection::ShouldFail(FaultInjection::Operation::List)) {
        m_error = errno;
        return false;
    }
    m_error = find::ListFolder(state->folder, state->names);
    if (m_error != 0 || state->names.empty())
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
    const std::string full = find::FullPath(path);
    find::SingleEntry entry;
    m_error = find::LookUp(path, full, entry);
    if (m_error != 0)
        return false;
    state->single = entry.inspected;
    state->names.push_back(entry.name);
    state->known = entry.status;
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
        s.status = find::Inspect(s.path);
    } else {
        s.path = s.singlePath;
        s.status = s.known ? *s.known : find::Inspect(s.single);
        s.known.reset();
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
    return m_state && m_state->current && m_state->status.kind == find::EntryKind::Directory;
}

bool CFileFind::IsRegularFile() const
{
    return m_state && m_state->current && m_state->status.kind == find::EntryKind::Regular;
}

bool CFileFind::IsSymbolicLink() const
{
    return m_state && m_state->current && m_state->status.kind == find::EntryKind::SymbolicLink;
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
    return m_state && m_state->current ? m_state->status.length : 0;
}

platform::FileIdentity CFileFind::GetIdentity() const
{
    return m_state && m_state->current ? m_state->status.identity : platform::FileIdentity{};
}

} // namespace tessarin
