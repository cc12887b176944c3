#include "selection/MyCFileFind.h"

#include "scratch/RunJournal.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
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
    const bool listing = search == "*" || search.ends_with("/*");
    if (!finder.FindFile(search)) {
        // An empty folder is nothing to tell; a name or a folder that cannot
        // be read is.
        if (finder.GetError() != 0) {
            const std::string what = listing ? search.substr(0, search.size() == 1 ? 1 : search.size() - 2) : search;
            Skipped(ErrorHandler(errc::OpenFailed, std::string(listing ? "Unable to open folder '" : "Unable to open file '") +
                                                       ShownName(what) + "' (" +
                                                       platform::ErrorText(finder.GetError()) + ")"),
                    m_depth == 0 || listing);
        }
        return false;
    }

    // The entry of a search for one name is what the caller named.
    const bool named = m_depth == 0 && !listing;
    bool found = false;
    for (bool more = true; more;) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        if (finder.IsDirectory()) {
            // Depth first, at once; a subfolder's hits do not make this
            // level's result.
            if (m_recursive) {
                ++m_depth;
                FindNextFileA(AllOf(finder.GetFilePath()));
                --m_depth;
            } else if (named) {
                // A folder named with recursion off lists nothing; that is
                // no failure, but worth a note naming it.
                Skipped(ErrorHandler(errc::OpenFailed, "folder '" + ShownName(finder.GetFilePath()) +
                                                           "' (folders are searched only with recursion on)"),
                        false);
            }
            continue;
        }
        // Links are not followed (a link to a parent folder would never
        // end) and FIFOs, sockets and devices are no files to encrypt:
        // reading a FIFO would block the whole batch.
        if (!finder.IsRegularFile()) {
            SkipEntry(finder, named);
            continue;
        }
        // This run's own files (its list, a temporary file being written)
        // are known by the journal, whatever their names: any other file is
        // the user's.
        if (RunJournal::Current().Holds(finder.GetIdentity())) {
            if (named)
                Skipped(ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(finder.GetFilePath()) +
                                                           "' (it is a file of this run's own)"),
                        true);
            continue;
        }
        MyCString name(finder.GetFileName());
        name.SetCaseSensitive(m_sensitive);
        if (name.Search(m_pattern)) {
            DoSomething(finder);
            found = true;
        }
    }
    return found;
}

void MyCFileFind::SkipEntry(const CFileFind& entry, bool named)
{
    // Only what the pattern would have taken is worth a word.
    MyCString name(entry.GetFileName());
    name.SetCaseSensitive(m_sensitive);
    if (!named && !name.Search(m_pattern))
        return;
    const std::string kind = platform::NonRegularKind(entry.GetFilePath());
    Skipped(ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(entry.GetFilePath()) + "' (it is " +
                                               (kind.empty() ? std::string("gone") : kind) +
                                               ", not a regular file)"),
            named);
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
