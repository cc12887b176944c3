#pragma once
// What a directory search asks of the system. CFileFind (selection/FileFind.cpp)
// walks the entries; FileFindSystem.cpp and FileFindSystemWin32.cpp answer these
// questions each for its own system.
#include "platform/Files.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarin::platform::find {

enum class EntryKind { Unknown, Directory, Regular, SymbolicLink, Other };

// What an entry was when it was looked at.
struct EntryStatus {
    EntryKind kind = EntryKind::Unknown;
    std::uint64_t length = 0;  // of a regular file only
    FileIdentity identity;
};

// A search for one entry, as starting it found the entry.
struct SingleEntry {
    std::string inspected;              // the path the entry is looked at by (may keep a final '/')
    std::string name;
    std::optional<EntryStatus> status;  // when the lookup saw the entry whole already
};

// Whether path lists a folder ("*" after a separator) rather than naming one entry.
bool IsListing(const std::string& path);
// The full path of path, with '/' as the separator and no "." or empty components.
std::string FullPath(const std::string& path);
// Reads the names in folder but "." and "..", in the order the system gives
// them. The system's error number, or 0 (also for a folder with no entries).
int ListFolder(const std::string& folder, std::vector<std::string>& names);
// Starts a search for the one entry at path (full: its FullPath). The
// system's error number, or 0.
int LookUp(const std::string& path, const std::string& full, SingleEntry& entry);
// The entry itself, a link included, never what it points at; Unknown when
// it cannot be looked at.
EntryStatus Inspect(const std::string& path);

} // namespace tessarin::platform::find
