#include "selection/MyCFileFind.h"

#include "platform/TempFile.h"
#include "selection/MyCString.h"

namespace tessarin {

namespace {

std::string AllOf(const std::string& folder)
{
    return !folder.empty() && folder.back() == '/' ? folder + "*" : folder + "/*";
}

} // namespace

bool MyCFileFind::LookingFor(const std::string& path, const std::string& pattern)
{
    m_pattern = pattern;
    return FindNextFileA(path);
}

bool MyCFileFind::LookingFor(const std::string& path)
{
    if (path.find_first_of("*?") == std::string::npos) {
        std::string resolved;
        if (IsDirectory(path, resolved))
            return LookingFor(AllOf(resolved), "*");
        if (!path.empty() && path.back() == '/')
            return LookingFor(path + "*", "*");
    }
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return LookingFor("*", path);
    return LookingFor(path.substr(0, slash) + "/*", path.substr(slash + 1));
}

bool MyCFileFind::FindNextFileA(const std::string& search)
{
    CFileFind finder;
    if (!finder.FindFile(search))
        return false;

    bool found = false;
    for (bool more = true; more;) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        if (finder.IsDirectory()) {
            // Depth first, at once; a subfolder's hits do not make this
            // level's result.
            if (m_recursive)
                FindNextFileA(AllOf(finder.GetFilePath()));
            continue;
        }
        // Links are not followed (a link to a parent folder would never
        // end) and FIFOs, sockets and devices are no files to encrypt:
        // reading a FIFO would block the whole batch.
        if (!finder.IsRegularFile())
            continue;
        // A temporary file of a run, ours or one that was killed, is never a
        // user's file: it is cleared away, not processed.
        if (TempFile::IsTemporaryName(finder.GetFileName()))
            continue;
        MyCString name(finder.GetFileName());
        name.SetCaseSensitive(m_sensitive);
        if (name.Search(m_pattern)) {
            DoSomething(finder);
            found = true;
        }
    }
    return found;
}

bool MyCFileFind::IsDirectory(const std::string& name, std::string& resolved) const
{
    if (name == "." || name == "..") {
        resolved = name;
        return true;
    }
    CFileFind finder;
    if (!finder.FindEntry(name))
        return false;
    finder.FindNextFile();
    if (!finder.IsDirectory())
        return false;
    resolved = finder.GetFilePath();
    return true;
}

} // namespace tessarin
