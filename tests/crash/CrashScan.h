#pragma once
// What a batch leaves on disk, judged against the tree the user had:
// whether every original can be had back byte for byte, and whether any
// temporary, intermediate or list file stayed behind.
#include "CrashSettings.h"
#include "CrashTree.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tessarin::crash {

// A file that should not be there, by path (relative to the tree's root, or
// the list folder's name followed by the file's), with the reason.
using Leftovers = std::map<std::string, std::string>;

// Temporary files anywhere under root (names beginning with "~aes-", among
// them "~aes-XXXXXXXX.tmp"), files named *.gz or *.bz that hold a plain gzip
// or bzip2 stream or are no output these settings give, and list files
// ("~files.tmp...") in the program's private folder listFolder. Adds them to
// found.
void FindLeftovers(const std::filesystem::path& root, const std::filesystem::path& listFolder,
                   const Settings& settings, const Tree& originals, Leftovers& found);

// The originals that are missing or differ from their bytes, with the
// reason.
std::map<std::string, std::string> FindLosses(const std::filesystem::path& root, const Tree& originals);

// True when bytes begin like a plain gzip stream (1f 8b, deflate, no
// reserved flag) or a plain bzip2 stream ("BZh", a level digit, and the
// magic of a block or of the stream's end). A container's enciphered bytes
// match neither but by a chance too small to matter.
bool IsPlainGzip(const std::string& bytes);
bool IsPlainBzip2(const std::string& bytes);

} // namespace tessarin::crash
