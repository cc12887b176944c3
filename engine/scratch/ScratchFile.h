#pragma once
// One file of the run's own (a temporary file, the batch's list): made
// under a fresh random name that nobody else can hold (exclusive creation),
// recorded in the run's journal before it exists, private to its owner
// (mode 0600) and locked from the first instant. The journal record and the
// lock are what let a later run tell a file a killed run left behind from a
// user's file of the same name (LeftoverSweep). The open file itself stays
// with the owner (a MyFile, or a list built on one); this object keeps the
// name, the record and the lock, and knows how such a file is wiped.
#include "EngineApi.h"
#include "foundation/MyFile.h"
#include "platform/Files.h"
#include "scratch/ScratchName.h"

#include <cstdint>
#include <string>

namespace tessarin {

class ENGINE_API ScratchFile {
public:

    ScratchFile() = default;
    ScratchFile(ScratchFile&& other) noexcept;
    ScratchFile& operator=(ScratchFile&& other) noexcept;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    // Releases the lock; the name is the owner's to remove.
    ~ScratchFile() = default;

    // Opens file on a new name in folder (empty, or ending with a
    // separator), for reading and writing. wipe: it will hold plain text,
    // and the record says so. A name that is taken is drawn again. When the
    // file cannot be created, the error of the open is thrown, or, when
    // shown is given, -5 naming that file with the system's reason (errno
    // then still tells it); a record that cannot be written throws -5.
    static ScratchFile Create(MyFile& file, const std::string& folder, const ScratchName& name, bool wipe,
                              const std::string& shown = {});

    const std::string& Path() const { return m_path; }
    // What the file was when made (owner, group, identity), handed out
    // once: false when unknown or taken already.
    bool TakeMadeStatus(platform::FileStatus& status);
    bool Wipes() const { return m_wipe; }

    // The name no longer is ours to clear away: it became a user's file,
    // or it is gone.
    void Forget() noexcept;
    // Removes the name (then forgotten). False, errno set, when it stays.
    bool RemoveName();
    void ReleaseLock() { m_lock.Release(); }

    // Overwrites, through the open handle, the whole content of a file
    // whose name may already be gone (the size is the handle's own).
    static void WipeOpen(MyFile& file);
    // Removes the regular file at path while it is the file identity names
    // and has this one name; with shred, its content is overwritten first,
    // through a handle checked to hold that very file (never through a
    // hard link to someone else's file). False when anything differs or
    // fails; it never throws.
    static bool RemoveVerified(const std::string& path, const platform::FileIdentity& identity, bool shred);

private:
    std::string m_path;
    platform::FileLock m_lock;
    std::uint64_t m_entry = 0;  // in the run's journal; 0 once forgotten
    platform::FileStatus m_made;  // as made; identity invalid once taken
    bool m_wipe = false;
};

} // namespace tessarin
