#pragma once
// A temporary file beside the file it will become. It is created under a
// fresh name that nobody else can hold (exclusive creation), private to its
// owner while it is written, and becomes its target only by CommitAs: the
// bytes reach the disk first, then one rename puts them under the final
// name, so that name always holds either the old file or the complete new
// one. Until then the destructor removes it: a throw anywhere leaves nothing
// behind.
#include "EngineApi.h"
#include "foundation/MyFile.h"

#include <string>

namespace tessarin {

class ENGINE_API TempFile {
public:
    // Creates "~aes-XXXXXXXX.tmp" in the folder of target. Throws -5 when
    // the folder does not let us create a file.
    static TempFile CreateBeside(const std::string& target);

    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();

    MyFile& File() { return m_file; }
    const std::string& Path() const { return m_path; }
    // True until the file has been committed, discarded or forgotten.
    bool IsPending() const { return m_pending; }

    // The finished file keeps the permission bits of the file it was made
    // from, not the private ones it was written with.
    void TakePermissionsOf(const std::string& path);

    // Flushes to disk, closes and renames onto target, replacing a file of
    // that name. Throws -2 when the flush fails and -3 when the rename does;
    // the temporary file then still exists and is still pending.
    void CommitAs(const std::string& target);
    // As CommitAs, but an existing target is never replaced (-3 instead).
    void CommitAsNew(const std::string& target);

    // Someone else has removed the file (a wiping deletion, for instance).
    void Forget() noexcept { m_pending = false; }
    // Closes and removes the file now; false when the removal failed.
    bool Discard() noexcept;

private:
    TempFile() = default;
    void Commit(const std::string& target, bool replace);

    MyFile m_file;
    std::string m_path;
    bool m_pending = false;
};

} // namespace tessarin
