#pragma once
// A temporary file beside the file it will become. It is created under a
// fresh name that nobody else can hold (exclusive creation), private to its
// owner while it is written, locked for as long as it exists, and becomes
// its target only by a commit: the bytes reach the disk first, then one
// rename puts them under the final name, so that name always holds either
// the old file or the complete new one. Until then the destructor removes
// it: a throw anywhere leaves nothing behind. Each one is recorded in the
// run's journal before it is made, which lets a later run clear away what a
// killed run left (LeftoverSweep); its name alone never marks it as ours.
#include "EngineApi.h"
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "platform/FileAttributes.h"
#include "platform/Files.h"
#include "scratch/ScratchFile.h"

#include <cstdint>
#include <span>
#include <string>

namespace tessarin {

class ENGINE_API TempFile {
public:
    // Creates "~aes-XXXXXXXX.tmp" in the folder of target, open for reading
    // and writing. wipe: the file will hold plain text, and is overwritten
    // before it is removed. Throws -5 when the folder does not let us create
    // a file.
    static TempFile CreateBeside(const std::string& target, bool wipe = false);

    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();

    MyFile& File() { return m_file; }
    const std::string& Path() const { return m_scratch.Path(); }
    // What the log calls every temporary output, whatever its real name:
    // the folder's "~aes.tmp".
    static constexpr const char* ShownAs = "~aes.tmp";
    std::string ShownPath() const;
    // True until the file has been committed or discarded.
    bool IsPending() const { return m_pending; }

    // The finished file keeps the owner, group, permissions, attributes and
    // times of the file at path as it is now (as TakeAttributesOf), not
    // the private ones it was written with.
    void TakePermissionsOf(const std::string& path);
    // The owner, group, mode, access list, extended attributes and times
    // of the file it was made from, as it was read; tells what could not
    // be kept.
    platform::AttributesDropped TakeAttributesOf(const platform::FileStatus& status,
                                                 const platform::ExtendedAttributes& attributes = {});

    // Flushes to disk and renames onto target, replacing a file of that name.
    // Throws -2 when the flush fails and -3 when the rename does; the
    // temporary file then still exists and is still pending.
    void CommitAs(const std::string& target);
    // As CommitAs, but an existing target is never replaced: that fails
    // with code -5, the name of the existing file and EEXIST as LastError.
    void CommitAsNew(const std::string& target);
    // As CommitAs, but only while target still is the file replaced, as it
    // was read: another file there fails with -3, the same file changed
    // since (size, times) with -36, and nothing is replaced.
    void CommitOver(const std::string& target, const platform::FileStatus& replaced);

    // Makes the content of several temporary files durable at once, before
    // any of them is committed: their commits then neither flush the file
    // nor its folder, which the caller flushes once after the last rename
    // (platform::SyncFolderOf). False when the shared flush failed: nothing
    // is marked then, and each commit flushes on its own as usual.
    static bool SyncTogether(std::span<TempFile* const> files);
    // True once SyncTogether has made the content durable.
    bool IsSynced() const { return m_synced; }

    // Closes and removes the file now (overwritten first when created with
    // wipe). Remove throws what failed (-4 when the name cannot be removed,
    // the wipe's own errors); Discard, for the way out of a failure, tells
    // only whether all of it worked.
    void Remove();
    bool Discard() noexcept;

private:
    TempFile() = default;
    void Commit(const std::string& target, bool replace);

    MyFile m_file;
    ScratchFile m_scratch;
    bool m_pending = false;
    bool m_synced = false;
};

// A name taken by a file that an output must not replace.
ENGINE_API ErrorHandler NameTakenError(const std::string& path);
// A file that is no longer as it was when it was read: it keeps what it
// holds now, and what was made from it is not used.
ENGINE_API ErrorHandler SourceChangedError(const std::string& path);

} // namespace tessarin
