#pragma once
// Version information of modules, read from the file without loading or
// running it. Every module the project builds carries a block in its
// ".tessarin_version" section (see cmake/VersionBlock.cmake for the layout);
// zlib and bzip2 carry none, so their block is made from the version text
// that the library itself reports.
//
// The three calls mirror the system's version-information interface: ask
// for the size, read the block, query values in it by path:
//   "\"                         the block's root (fails on a damaged block)
//   "\VarFileInfo\Translation"  the translation table, 4 bytes per entry
//   "\StringFileInfo\llllcccc\Name"  a text, for language llll, code page cccc
#include "EngineApi.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tessarin {

// Language 0x0409 (US English) in the low half, code page 0x04B0 (Unicode)
// in the high half: the translation every block of ours carries.
inline constexpr std::uint32_t DefaultTranslation = 0x04B00409u;

using VersionEntries = std::vector<std::pair<std::string, std::string>>;

// A module name is a path when it holds a '/', otherwise a logical name
// ("engine.dll", "aes16.dll", "zlib.dll") found the way the loader finds it.
// 0 when the module is missing or has no version block.
ENGINE_API std::uint32_t VersionInfoSize(const std::string& moduleName);

// Fills block with the module's version block; false when it cannot be read.
ENGINE_API bool ReadVersionInfo(const std::string& moduleName, std::vector<std::uint8_t>& block);

// Points value at the bytes the path names inside block (a text without its
// terminating NUL); false when the block has no such value or is damaged.
ENGINE_API bool QueryVersionValue(std::span<const std::uint8_t> block, const std::string& path,
                                  std::span<const std::uint8_t>& value);

// A block in the modules' layout, for the libraries that carry none.
ENGINE_API std::vector<std::uint8_t> BuildVersionBlock(std::uint32_t translation, const VersionEntries& entries);

} // namespace tessarin
