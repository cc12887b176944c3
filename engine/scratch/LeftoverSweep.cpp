// Clearing away what dead runs left: see LeftoverSweep.h.
#include "scratch/LeftoverSweep.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "foundation/ShownName.h"
#include "platform/FolderEntries.h"
#include "scratch/ScratchFile.h"
#include "scratch/ScratchFolder.h"

#include <vector>

namespace tessarin {

namespace {

std::string ReadAll(platform::NativeHandle handle)
{
    std::string text;
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        const std::int64_t n = platform::ReadFile(handle, buffer);
        if (n <= 0)
            break;
        text.append(buffer.begin(), buffer.begin() + n);
    }
    return text;
}

} // namespace

unsigned LeftoverSweep::Clear(const std::string& folder, bool wipe, MyStream* sink)
{
    LeftoverSweep sweep(wipe, sink);
    for (const std::string& name : platform::FolderNames(folder)) {
        if (!name.ends_with(RunJournal::Extension))
            continue;
        const std::string path = folder + name;
        const platform::NativeHandle handle = platform::OpenFile(path, platform::FileAccess::Read);
        if (handle == platform::InvalidHandle)
            continue;
        // A lock that is taken belongs to a run still at work, this one
        // included; ours is held from here on, so that no other run clears
        // the same journal meanwhile.
        platform::FileLock lock(handle);
        if (lock.IsHeld()) {
            const std::vector<RunJournal::Entry> entries = RunJournal::Parse(ReadAll(handle));
            bool settled = true;
            // Files first: those in a spool folder go before the folder.
            for (const RunJournal::Entry& entry : entries) {
                if (!entry.gone && entry.kind == RunJournal::Kind::File)
                    settled = sweep.ClearFile(entry) && settled;
            }
            for (const RunJournal::Entry& entry : entries) {
                if (!entry.gone && entry.kind == RunJournal::Kind::Folder)
                    settled = sweep.ClearFolder(entry) && settled;
            }
            if (settled)
                platform::RemoveFile(path);
        }
        lock.Release();
        platform::CloseFile(handle);
    }
    return sweep.m_removed;
}

bool LeftoverSweep::RecordedByRunAtWork(const std::string& folder, const platform::FileIdentity& identity)
{
    for (const std::string& name : platform::FolderNames(folder)) {
        if (!name.ends_with(RunJournal::Extension))
            continue;
        const platform::NativeHandle handle = platform::OpenFile(folder + name, platform::FileAccess::Read);
        if (handle == platform::InvalidHandle)
            continue;
        bool recorded = false;
        if (!platform::FileLock(handle).IsHeld()) {  // taken: its run is at work
            for (const RunJournal::Entry& entry : RunJournal::Parse(ReadAll(handle)))
                recorded = recorded || (!entry.gone && entry.identity.valid && entry.identity == identity);
        }
        platform::CloseFile(handle);
        if (recorded)
            return true;
    }
    return false;
}

bool LeftoverSweep::ClearFile(const RunJournal::Entry& entry)
{
    const platform::EntryStatus found = platform::StatEntry(entry.path);
    if (found.kind != platform::EntryKind::Regular || found.links != 1)
        return true;
    // A file recorded only as intended was made just before the run ended,
    // and empty it holds nothing to lose; any other is not ours to remove.
    if (entry.identity.valid ? !(found.identity == entry.identity) : found.size != 0)
        return true;
    const bool shred = m_wipe || entry.wipe;
    Tell(entry.path, shred);
    const bool removed = ScratchFile::RemoveVerified(entry.path, found.identity, shred);
    Told(removed);
    return removed;
}

bool LeftoverSweep::ClearFolder(const RunJournal::Entry& entry)
{
    const platform::EntryStatus found = platform::StatEntry(entry.path);
    if (found.kind != platform::EntryKind::Folder)
        return true;
    if (!entry.identity.valid) {
        // Made just before the run ended: removed only while empty.
        platform::RemoveFolder(entry.path);
        return true;
    }
    if (!(found.identity == entry.identity))
        return true;
    const bool shred = m_wipe || entry.wipe;
    Tell(entry.path, shred);
    const bool removed = ScratchFolder::ClearContent(entry.path, shred, false);
    Told(removed);
    return removed;
}

void LeftoverSweep::Tell(const std::string& path, bool shred)
{
    if (m_sink)
        m_sink->Show((shred ? "Wiping left-over " : "Deleting left-over ") + ShownName(path) + " ",
                     MyStream::LevelDetail);
}

void LeftoverSweep::Told(bool removed)
{
    if (removed)
        ++m_removed;
    if (m_sink)
        m_sink->Update(removed ? "[OK]\r\n" : "[FAILED]\r\n", MyStream::LevelDetail);
}

} // namespace tessarin
