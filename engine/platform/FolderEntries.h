#pragma once
// The operating-system calls behind the run journal: what a path names
// without following it, the names in a folder, private folders made and
// removed, and the journal's own file. The journal's file is made, written
// and flushed outside the fault injection of Files.h, which aims at the
// work on the user's files.
#include "EngineApi.h"
#include "platform/Files.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessarin::platform {

enum class EntryKind { None, Regular, Folder, Other };

// What a path names itself (a link is not followed).
struct EntryStatus {
    EntryKind kind = EntryKind::None;
    FileIdentity identity;
    std::uint64_t links = 0;
    std::uint64_t size = 0;
};
ENGINE_API EntryStatus StatEntry(const std::string& path);

// The names in a folder, without "." and ".."; empty when it cannot be read.
ENGINE_API std::vector<std::string> FolderNames(const std::string& folder);
// Makes a folder that must not exist yet, open to its owner alone.
ENGINE_API bool CreatePrivateFolder(const std::string& path);
// Removes an empty folder.
ENGINE_API bool RemoveFolder(const std::string& path);

// A new journal file (exclusive creation, open to its owner alone), open
// for reading and writing.
ENGINE_API NativeHandle CreateJournalFile(const std::string& path);
// Appends bytes whole; with durable, they reach the disk before it returns.
ENGINE_API bool AppendJournal(NativeHandle handle, std::span<const std::uint8_t> bytes, bool durable);

// The running process: a child made by fork keeps its parent's handles,
// but not its journal.
ENGINE_API std::uint64_t ProcessId();

} // namespace tessarin::platform
