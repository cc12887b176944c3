// The run's own folders: made, recorded, cleared (see ScratchFolder.h).
#include "scratch/ScratchFolder.h"

#include "foundation/ErrorHandler.h"
#include "platform/FolderEntries.h"
#include "scratch/RunJournal.h"
#include "scratch/ScratchFile.h"

#include <cerrno>

namespace tessarin {

namespace {

constexpr int MaxAttempts = 64;

} // namespace

ScratchFolder::ScratchFolder(const std::string& parent, const ScratchName& name, bool wipe) : m_wipe(wipe)
{
    RunJournal& journal = RunJournal::Current();
    for (int attempt = 1;; ++attempt) {
        const std::string folder = parent + name.Draw();
        // Recorded before it is made: a killed run's folder is cleared away
        // by that record, never because of its name.
        const std::uint64_t entry = journal.Intend(RunJournal::Kind::Folder, wipe, folder);
        if (!platform::CreatePrivateFolder(folder)) {
            const int error = platform::LastError();
            journal.Forget(entry);
            if (error == EEXIST && attempt < MaxAttempts)
                continue;
            throw ErrorHandler(errc::OpenFailed, "Unable to create a spool folder in '" + parent + "' (" +
                                                     platform::ErrorText(error) + ")");
        }
        m_path = folder + platform::PathSeparator;
        m_entry = entry;
        // On the disk before anything is put into it.
        try {
            journal.Made(entry, platform::StatEntry(folder).identity);
        } catch (const ErrorHandler&) {
            Clear();
            throw;
        }
        return;
    }
}

bool ScratchFolder::ClearContent(const std::string& folder, bool shred, bool insist)
{
    const std::string inside = folder.ends_with(platform::PathSeparator) ? folder : folder + platform::PathSeparator;
    // Everything in it is the run's own. A file with more names than this
    // one loses only this name: the content belongs to the other names.
    for (const std::string& name : platform::FolderNames(inside)) {
        const std::string path = inside + name;
        const platform::EntryStatus entry = platform::StatEntry(path);
        if (entry.kind == platform::EntryKind::Folder)
            continue;
        if (entry.kind != platform::EntryKind::Regular || entry.links != 1)
            platform::RemoveFile(path);
        else if (!ScratchFile::RemoveVerified(path, entry.identity, shred) && insist)
            platform::RemoveFile(path);  // the folder is private to the user
    }
    return platform::RemoveFolder(inside.substr(0, inside.size() - 1));
}

void ScratchFolder::Clear() noexcept
{
    if (m_path.empty())
        return;
    if (ClearContent(m_path, m_wipe, true))
        RunJournal::Current().Forget(m_entry);
    m_path.clear();
}

} // namespace tessarin
