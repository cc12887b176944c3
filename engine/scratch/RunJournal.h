#pragma once
// The record a run keeps of the files and folders it makes for its own use
// (temporary files, the batch's list, spool folders), so that what a killed
// run leaves behind is known by this record and never by a name that a
// user's own file could carry too. It lives in the user's state folder,
// which outlives a reboot, is locked for the run's life, and tells for each
// entry its path and, once made, the device and inode it got. A later run
// clears away the entries of journals whose lock is free (LeftoverSweep).
#include "EngineApi.h"
#include "platform/Files.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tessarin {

class ENGINE_API RunJournal {
public:
    enum class Kind : char { File = 'f', Folder = 'd' };

    // One entry as a journal holds it.
    struct Entry {
        std::uint64_t id = 0;
        Kind kind = Kind::File;
        bool wipe = false;  // holds plain text: overwritten before it is removed
        std::string path;
        platform::FileIdentity identity;  // invalid until the entry was made
        bool gone = false;
    };

    // A journal in folder (ending with a separator; empty: DefaultFolder()
    // as it is then), made at the first entry.
    explicit RunJournal(std::string folder);
    // A journal whose entries are all gone is removed; one that still has
    // some stays for a later run to clear.
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // The journal of this process.
    static RunJournal& Current();
    // "journal/" in the user's state folder.
    static std::string DefaultFolder();
    static constexpr char Extension[] = ".journal";

    // Recorded before path is made, so that a run killed in between leaves
    // an entry for it. Throws -5 when the journal cannot be written.
    std::uint64_t Intend(Kind kind, bool wipe, const std::string& path);
    // What was made. Throws -5 when the journal cannot be written.
    void Made(std::uint64_t entry, const platform::FileIdentity& identity);
    // Puts the records written so far on the disk: called before the data
    // of the files they name is flushed, so that a power cut never leaves
    // durable content that no record knows. One flush then serves every
    // file made since the last one (a folder of small files shares it).
    // Throws -5 when that fails.
    void Flush();
    // The entry is gone, or has become a user's file (committed).
    void Forget(std::uint64_t entry) noexcept;
    // Whether identity is one of this run's own files that are still there.
    bool Holds(const platform::FileIdentity& identity) const;

    // The entries a journal's content tells, in their order; a record cut
    // short by a crash ends the list.
    static std::vector<Entry> Parse(const std::string& text);

private:
    void OpenLocked();
    void Append(const std::string& record, bool durable);
    void Close() noexcept;

    std::string m_folder;
    std::string m_path;
    platform::NativeHandle m_handle = platform::InvalidHandle;
    platform::FileLock m_lock;
    std::uint64_t m_process = 0;
    std::uint64_t m_next = 1;
    std::map<std::uint64_t, platform::FileIdentity> m_live;
    bool m_unflushed = false;
    std::string m_gone;  // records of entries gone, not written yet
    mutable std::mutex m_mutex;
};

} // namespace tessarin
