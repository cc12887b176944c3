// The run's own files: made, recorded, locked, wiped (see ScratchFile.h).
#include "scratch/ScratchFile.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "scratch/RunJournal.h"

#include <cerrno>
#include <utility>

namespace tessarin {

namespace {

constexpr int MaxAttempts = 64;

} // namespace

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_lock(std::move(other.m_lock)),
      m_entry(std::exchange(other.m_entry, 0)),
      m_made(std::exchange(other.m_made, {})),
      m_wipe(other.m_wipe)
{
}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept
{
    if (this != &other) {
        m_path = std::move(other.m_path);
        m_lock = std::move(other.m_lock);
        m_entry = std::exchange(other.m_entry, 0);
        m_made = std::exchange(other.m_made, {});
        m_wipe = other.m_wipe;
    }
    return *this;
}

ScratchFile ScratchFile::Create(MyFile& file, const std::string& folder, const ScratchName& name, bool wipe,
                                const std::string& shown)
{
    RunJournal& journal = RunJournal::Current();
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = folder + name.Draw();
        // Recorded first: what a killed run leaves is known by its record,
        // never by its name, which a user's own file may carry as well.
        const std::uint64_t entry = journal.Intend(RunJournal::Kind::File, wipe, candidate);
        try {
            file.Open(candidate, MyFile::OpenCreateNew);
        } catch (const ErrorHandler&) {
            // Only a name that is taken is worth another try; any other
            // failure would repeat itself.
            const int error = platform::LastError();
            journal.Forget(entry);
            if (error == EEXIST && attempt < MaxAttempts)
                continue;
            errno = error;
            if (shown.empty())
                throw;
            throw ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(shown) + "'",
                               platform::ErrorText(error));
        }
        ScratchFile made;
        made.m_path = candidate;
        made.m_entry = entry;
        made.m_wipe = wipe;
        platform::FileStatus status;
        bool known = false;
        try {
            // On the disk before the file's data is (RunJournal::Flush).
            known = platform::StatHandle(file.GetHandle(), status);
            if (known)
                journal.Made(entry, status.identity);
        } catch (const ErrorHandler&) {
            file.Close();
            made.RemoveName();
            throw;
        }
        // Created private, so partial plain text is never readable by
        // others; this only gives the owner back what a strict umask took,
        // which reopening it to overwrite needs (a usual umask takes none).
        if (!known || status.mode != 0600)
            platform::SetPermissions(file.GetHandle(), 0600);
        // Held from the first instant: a run that sweeps this folder now
        // takes a file without a lock for one left behind.
        made.m_lock = platform::FileLock(file.GetHandle());
        if (known)
            made.m_made = status;
        return made;
    }
}

bool ScratchFile::TakeMadeStatus(platform::FileStatus& status)
{
    if (!m_made.identity.valid)
        return false;
    status = std::exchange(m_made, {});
    return true;
}

void ScratchFile::Forget() noexcept
{
    if (m_entry != 0)
        RunJournal::Current().Forget(std::exchange(m_entry, 0));
}

bool ScratchFile::RemoveName()
{
    if (!platform::RemoveFile(m_path))
        return false;
    Forget();
    return true;
}

void ScratchFile::WipeOpen(MyFile& file)
{
    const std::int64_t size = platform::FileSize(file.GetHandle());
    file.SetSize(size < 0 ? 0 : static_cast<std::uint64_t>(size));
    file.Wipe();
}

bool ScratchFile::RemoveVerified(const std::string& path, const platform::FileIdentity& identity, bool shred)
{
    if (!shred)
        return platform::RemoveFile(path);
    try {
        // Made writable only through a handle on the very file recorded (a
        // temporary file may already carry its source's read-only mode).
        {
            MyFile reader(path, MyFile::OpenRead);
            platform::FileStatus read;
            if (!platform::StatHandle(reader.GetHandle(), read) || !(read.identity == identity))
                return false;
            platform::MakeWritable(reader.GetHandle());
        }
        MyFile file(path, MyFile::OpenWipe);
        platform::FileStatus opened;
        if (!platform::StatHandle(file.GetHandle(), opened) || !(opened.identity == identity) || opened.links != 1)
            return false;
        // The name goes first; the content is overwritten through the
        // handle, which holds the very file that was checked.
        if (!platform::RemoveFile(path))
            return false;
        file.SetSize(opened.size);
        file.Wipe();
        return true;
    } catch (const ErrorHandler&) {
        // Tried again by a later run; it never stops the work at hand.
        return false;
    }
}

} // namespace tessarin
