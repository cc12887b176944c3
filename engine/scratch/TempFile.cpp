// Temporary files beside their targets: see TempFile.h.
#include "scratch/TempFile.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "scratch/RunJournal.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstdint>
#include <utility>

namespace tessarin {

namespace {

std::string FolderPrefix(const std::string& target)
{
    const auto slash = target.rfind(platform::PathSeparator);
    return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
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
    // The user knows the file to be made, not our temporary name for it.
    temp.m_scratch = ScratchFile::Create(temp.m_file, folder, {"~aes-", ScratchName::Alphabet::Hex, 8, ".tmp"}, wipe,
                                         target);
    temp.m_pending = true;
    // Failures of writing name the file it becomes.
    temp.m_file.SetFileName(target.substr(folder.size()));
    return temp;
}

TempFile::TempFile(TempFile&& other) noexcept
    : m_file(std::move(other.m_file)),
      m_scratch(std::move(other.m_scratch)),
      m_pending(std::exchange(other.m_pending, false)),
      m_synced(other.m_synced)
{
}

TempFile& TempFile::operator=(TempFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        m_file = std::move(other.m_file);
        m_scratch = std::move(other.m_scratch);
        m_pending = std::exchange(other.m_pending, false);
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
    // Made by us a moment ago: its owner and group are known without a look.
    platform::FileStatus made;
    const bool known = m_scratch.TakeMadeStatus(made);
    return platform::KeepAttributes(m_file.GetHandle(), status, attributes, known ? &made : nullptr);
}

std::string TempFile::ShownPath() const
{
    return FolderPrefix(Path()) + ShownAs;
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
        throw ErrorHandler(errc::CopyFailed, "Unable to copy '" + ShownName(ShownPath()) + "' to '" + ShownName(target) + "'");
    if (!m_file.IsOpen())
        m_file.Open(Path(), MyFile::OpenWipe);
    if (!m_synced) {
        RunJournal::Current().Flush();
        m_file.Sync();
    }
    const bool moved = replace ? platform::RenameFile(Path(), target) : platform::RenameFileNoReplace(Path(), target);
    if (!moved) {
        const int error = platform::LastError();
        if (!replace && error == EEXIST)
            throw NameTakenError(target);
        throw ErrorHandler(errc::CopyFailed,
                           "Unable to copy '" + ShownName(ShownPath()) + "' to '" + ShownName(target) + "'",
                           platform::ErrorText(error));
    }
    m_pending = false;
    m_scratch.Forget();
    m_file.Close();
    m_scratch.ReleaseLock();
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
        m_scratch.ReleaseLock();
        return;
    }
    m_pending = false;
    if (m_scratch.Wipes() && !m_file.IsOpen()) {
        try {
            m_file.Open(Path(), MyFile::OpenWipe);
        } catch (const ErrorHandler&) {
            // Without a handle there is nothing to overwrite through: the
            // removal below still happens, and the failure is told.
            const int error = platform::LastError();
            const bool removed = m_scratch.RemoveName();
            m_scratch.ReleaseLock();
            if (removed)
                throw ErrorHandler(error, "Writing on wiping!");
            throw ErrorHandler(errc::DeleteFailed, "Unable to delete '" + ShownName(Path()) + "' (Read only file?)",
                               platform::ErrorText(platform::LastError()));
        }
    }
    // The name goes first; the content is overwritten through the handle,
    // before the blocks are freed at the close.
    if (!m_scratch.RemoveName()) {
        m_file.Close();
        m_scratch.ReleaseLock();
        throw ErrorHandler(errc::DeleteFailed, "Unable to delete '" + ShownName(Path()) + "' (Read only file?)",
                           platform::ErrorText(platform::LastError()));
    }
    try {
        if (m_scratch.Wipes())
            ScratchFile::WipeOpen(m_file);
    } catch (const ErrorHandler&) {
        m_file.Close();
        m_scratch.ReleaseLock();
        throw;
    }
    m_file.Close();
    m_scratch.ReleaseLock();
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
        if (pending)
            m_scratch.RemoveName();
        return false;
    }
}

} // namespace tessarin
