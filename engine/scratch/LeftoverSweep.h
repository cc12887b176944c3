#pragma once
// Clears away what runs that are gone left behind, as their journals record
// it (RunJournal): a journal whose lock is free belongs to a run that ended
// without removing its own files. An entry is removed only while its path
// still holds what was recorded: the same device and inode, a regular file
// with one name (or, for a spool folder, the same folder); anything else at
// that path is a user's file and stays as it is, however it is named. A
// file is overwritten first only when it passes the same checks through the
// handle that overwrites it, so nothing is ever wiped through a hard link.
#include "EngineApi.h"
#include "scratch/RunJournal.h"

#include <string>

namespace tessarin {

class MyStream;

class ENGINE_API LeftoverSweep {
public:
    // Clears the dead journals in folder and their entries, then removes
    // each journal all of whose entries are settled. wipe: overwrite every
    // file before removing it (entries recorded as plain text always are).
    // Each removal is told to sink (when given) at level 4. Returns how many
    // entries were removed.
    static unsigned Clear(const std::string& folder, bool wipe, MyStream* sink);

    // Whether a journal in folder of a run still at work records identity:
    // such a file is that run's temporary file, not a user's, and no other
    // run may take it up. Asked only of a file someone holds locked, as our
    // temporary files are for their whole life, which keeps it rare.
    static bool RecordedByRunAtWork(const std::string& folder, const platform::FileIdentity& identity);

private:
    explicit LeftoverSweep(bool wipe, MyStream* sink) : m_wipe(wipe), m_sink(sink) {}
    // False when an entry that is ours could not be removed: its journal
    // stays for the next run.
    bool ClearFile(const RunJournal::Entry& entry);
    bool ClearFolder(const RunJournal::Entry& entry);
    void Tell(const std::string& path, bool shred);
    void Told(bool removed);

    bool m_wipe;
    MyStream* m_sink;
    unsigned m_removed = 0;
};

} // namespace tessarin
