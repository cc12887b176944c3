// The Linux side of the directory search: paths from the current
// directory, folders read with readdir, entries looked at with lstat.
#include "platform/FileFindSystem.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin::platform::find {

namespace {

EntryStatus StatusOf(const struct stat& st)
{
    EntryStatus status;
    status.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
    if (S_ISDIR(st.st_mode))
        status.kind = EntryKind::Directory;
    else if (S_ISREG(st.st_mode))
        status.kind = EntryKind::Regular;
    else if (S_ISLNK(st.st_mode))
        status.kind = EntryKind::SymbolicLink;
    else
        status.kind = EntryKind::Other;
    status.length = status.kind == EntryKind::Regular ? static_cast<std::uint64_t>(st.st_size) : 0;
    return status;
}

} // namespace

bool IsListing(const std::string& path)
{
    return path == "*" || (path.size() >= 2 && path.compare(path.size() - 2, 2, "/*") == 0);
}

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

int ListFolder(const std::string& folder, std::vector<std::string>& names)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return errno;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return 0;
}

int LookUp(const std::string& path, const std::string& full, SingleEntry& entry)
{
    // A final separator asks for the folder a link points at, as everywhere
    // else on the system; without one the link itself is the entry.
    const bool followLink = path.size() > 1 && path.back() == '/' && full != "/";
    entry.inspected = followLink ? full + "/" : full;
    struct stat st {};
    if (::lstat(entry.inspected.c_str(), &st) != 0)
        return errno;
    entry.status = StatusOf(st);
    const std::size_t slash = full.rfind('/');
    entry.name = slash == std::string::npos ? full : full.substr(slash + 1);
    return 0;
}

EntryStatus Inspect(const std::string& path)
{
    // lstat: a symbolic link is reported as what it is and never followed.
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? StatusOf(st) : EntryStatus{};
}

} // namespace tessarin::platform::find
