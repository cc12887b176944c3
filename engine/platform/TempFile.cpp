#include "platform/TempFile.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "foundation/RunJournal.h"
#include "platform/Files.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace tessarin {

namespace {

constexpr int MaxAttempts = 64;
constexpr char Prefix[] = "~aes-";
constexpr char Suffix[] = ".tmp";
constexpr std::size_t StemLength = 8;

std::string FolderPrefix(const std::string& target)
{
    const auto slash = target.rfind(platform::PathSeparator);
    return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

std::string RandomStem()
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::array<std::uint8_t, StemLength / 2> bytes{};
    platform::FillRandom(bytes);
    std::string stem;
    for (const std::uint8_t b : bytes) {
        stem += Hex[b >> 4];
        stem += Hex[b & 0x0F];
    }
    return stem;
}

// Overwrites a file whose name is already gone, through its open handle.
void WipeOpen(MyFile& file)
{
    const std::int64_t size = platform::FileSize(file.GetHandle());
    file.SetSize(size < 0 ? 0 : static_cast<std::uint64_t>(size));
    file.Wipe(TempFile::WipeRounds);
}

} // namespace

ErrorHandler NameTakenError(const std::string& path)
{
    return ErrorHandler(errc::OpenFailed, "Unable to create '" + ShownName(path) + "': a file of that name already exists!");
}

ErrorHandler SourceChangedError(const std::string& path)
{
    return ErrorHandler(errc::SourceChanged, "File '" + ShownName(path) + "' changed while it was read!");
}

TempFile TempFile::CreateBeside(const std::string& target, bool wipe)
{
    const std::string folder = FolderPrefix(target);
    TempFile temp;
    RunJournal& journal = RunJournal::Current();
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = folder + Prefix + RandomStem() + Suffix;
        // Recorded first: what a killed run leaves is known by its record,
        // never by its name, which a user's own file may carry as well.
        const std::uint64_t entry = journal.Intend(RunJournal::Kind::File, wipe, candidate);
        try {
            temp.m_file.Open(candidate, MyFile::OpenCreateNew);
        } catch (const ErrorHandler&) {
            // Only a name that is taken is worth another try; any other
            // failure would repeat itself. The user knows the file to be
            // made, not our temporary name for it.
            const int error = platform::LastError();
            journal.Forget(entry);
            if (error == EEXIST && attempt < MaxAttempts)
                continue;
            throw ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(target) + "'",
                               platform::ErrorText(error));
        }
        temp.m_path = candidate;
        temp.m_pending = true;
        temp.m_entry = entry;
        platform::FileStatus made;
        // On the disk before the file's data is (Commit, SyncTogether).
        if (platform::StatHandle(temp.m_file.GetHandle(), made))
            journal.Made(entry, made.identity);
        // Failures of writing name the file it becomes.
        temp.m_file.SetFileName(target.substr(folder.size()));
        temp.m_wipe = wipe;
        // Created private, so partial plain text is never readable by
        // others; this only gives the owner back what a strict umask took,
        // which reopening it to overwrite needs. The final permissions are
        // given at the end.
        platform::SetPermissions(temp.m_file.GetHandle(), 0600);
        // Held from the first instant: a run that sweeps this folder now
        // takes a file without a lock for one left behind.
        temp.m_lock = platform::FileLock(temp.m_file.GetHandle());
        return temp;
    }
}

TempFile::TempFile(TempFile&& other) noexcept
    : m_file(std::move(other.m_file)),
      m_path(std::move(other.m_path)),
      m_lock(std::move(other.m_lock)),
      m_entry(std::exchange(other.m_entry, 0)),
      m_pending(std::exchange(other.m_pending, false)),
      m_wipe(other.m_wipe),
      m_synced(other.m_synced)
{
}

TempFile& TempFile::operator=(TempFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        m_file = std::move(other.m_file);
        m_path = std::move(other.m_path);
        m_lock = std::move(other.m_lock);
        m_entry = std::exchange(other.m_entry, 0);
        m_pending = std::exchange(other.m_pending, false);
        m_wipe = other.m_wipe;
        m_synced = other.m_synced;
    }
    return *this;
}

TempFile::~TempFile()
{
    Discard();
}

void TempFile::TakePermissionsOf(const std::string& path)
{
    const platform::NativeHandle model = platform::OpenFile(path, platform::FileAccess::Read);
    platform::FileStatus status;
    if (model != platform::InvalidHandle && platform::StatHandle(model, status))
        TakeAttributesOf(status, platform::ReadExtendedAttributes(model));
    platform::CloseFile(model);
}

platform::AttributesDropped TempFile::TakeAttributesOf(const platform::FileStatus& status,
                                                       const platform::ExtendedAttributes& attributes)
{
    if (!m_file.IsOpen())
        return {};
    return platform::KeepAttributes(m_file.GetHandle(), status, attributes);
}

void TempFile::CommitAs(const std::string& target)
{
    Commit(target, true);
}

void TempFile::CommitAsNew(const std::string& target)
{
    Commit(target, false);
}

void TempFile::CommitOver(const std::string& target, const platform::FileStatus& replaced)
{
    platform::FileStatus now;
    if (m_pending && (!platform::StatPath(target, now) || !(now.identity == replaced.identity)))
        throw ErrorHandler(errc::CopyFailed, "Unable to replace '" + ShownName(target) +
                                                 "': it is no longer the file that was read!");
    if (m_pending && !now.SameContentAs(replaced))
        throw SourceChangedError(target);
    Commit(target, true);
}

void TempFile::Commit(const std::string& target, bool replace)
{
    if (!m_pending)
        throw ErrorHandler(errc::CopyFailed, "Unable to copy '" + ShownName(m_path) + "' to '" + ShownName(target) + "'");
    if (!m_file.IsOpen())
        m_file.Open(m_path, MyFile::OpenWipe);
    if (!m_synced) {
        RunJournal::Current().Flush();
        m_file.Sync();
    }
    const bool moved = replace ? platform::RenameFile(m_path, target) : platform::RenameFileNoReplace(m_path, target);
    if (!moved) {
        const int error = platform::LastError();
        if (!replace && error == EEXIST)
            throw NameTakenError(target);
        throw ErrorHandler(errc::CopyFailed, "Unable to rename to '" + ShownName(target) + "'",
                           platform::ErrorText(error));
    }
    m_pending = false;
    Forget();
    m_file.Close();
    m_lock.Release();
    // The rename itself must survive a crash as well. It has happened by
    // now, so a folder that cannot be flushed is not reported as a failure
    // of the move: the data is under its final name either way. Files
    // synced together have their folder flushed once by the caller.
    if (!m_synced)
        platform::SyncFolderOf(target);
}

bool TempFile::SyncTogether(std::span<TempFile* const> files)
{
    platform::NativeHandle any = platform::InvalidHandle;
    for (TempFile* file : files) {
        if (!file->m_pending || !file->m_file.IsOpen())
            return false;
        any = file->m_file.GetHandle();
    }
    if (any == platform::InvalidHandle)
        return false;
    try {
        RunJournal::Current().Flush();
    } catch (const ErrorHandler&) {
        return false;  // each commit then tries on its own, and fails with the reason
    }
    if (!platform::SyncFileSystemOf(any))
        return false;
    for (TempFile* file : files)
        file->m_synced = true;
    return true;
}

void TempFile::Remove()
{
    if (!m_pending) {
        m_file.Close();
        m_lock.Release();
        return;
    }
    m_pending = false;
    if (m_wipe && !m_file.IsOpen()) {
        try {
            m_file.Open(m_path, MyFile::OpenWipe);
        } catch (const ErrorHandler&) {
            // Without a handle there is nothing to overwrite through: the
            // removal below still happens, and the failure is told.
            const int error = platform::LastError();
            const bool removed = platform::RemoveFile(m_path);
            if (removed)
                Forget();
            m_lock.Release();
            if (removed)
                throw ErrorHandler(error, "Writing on wiping!");
            throw ErrorHandler(errc::DeleteFailed, "Unable to delete '" + ShownName(m_path) + "' (Read only file?)",
                               platform::ErrorText(platform::LastError()));
        }
    }
    // The name goes first; the content is overwritten through the handle,
    // before the blocks are freed at the close.
    const bool removed = platform::RemoveFile(m_path);
    if (!removed) {
        m_file.Close();
        m_lock.Release();
        throw ErrorHandler(errc::DeleteFailed, "Unable to delete '" + ShownName(m_path) + "' (Read only file?)",
                           platform::ErrorText(platform::LastError()));
    }
    Forget();
    try {
        if (m_wipe)
            WipeOpen(m_file);
    } catch (const ErrorHandler&) {
        m_file.Close();
        m_lock.Release();
        throw;
    }
    m_file.Close();
    m_lock.Release();
}

void TempFile::Forget() noexcept
{
    if (m_entry != 0)
        RunJournal::Current().Forget(std::exchange(m_entry, 0));
}

bool TempFile::Discard() noexcept
{
    const bool pending = m_pending;
    try {
        Remove();
        return true;
    } catch (const ErrorHandler&) {
        // A removal that failed is tried once more without the overwrite:
        // leaving nothing behind matters more.
        if (pending && platform::RemoveFile(m_path))
            Forget();
        return false;
    }
}

} // namespace tessarin
