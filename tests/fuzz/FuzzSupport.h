#pragma once
// What the fuzz targets share: a private scratch folder, whole-file reads
// and writes, folder listings, the stop on a violated check, and a
// reference wildcard matcher written independently of the engine's.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Reports what was violated on stderr and stops at once, so that libFuzzer
// records the input as a crash.
[[noreturn]] void Violation(const std::string& what);
inline void Require(bool condition, const char* what)
{
    if (!condition)
        Violation(what);
}

// A folder of its own under $TMPDIR (or /tmp), made once per process and
// removed with everything in it when the process exits normally.
const std::string& ScratchRoot();

// Creates a folder and its parents; stops the run when that fails, since no
// check could mean anything then (so do the other file helpers).
void MakeFolder(const std::string& path);
void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);
void WriteFile(const std::string& path, std::string_view text);
Bytes ReadFile(const std::string& path);
// Every name in a folder except "." and "..", sorted.
std::vector<std::string> ListFolder(const std::string& path);
// Removes everything inside the folder, the folder itself stays.
void EmptyFolder(const std::string& path);

// Whole-name wildcard match: '?' one byte, '*' any run of bytes, anything
// else itself; without case sensitivity only ASCII letters fold. Dynamic
// programming over prefixes, quadratic time, no backtracking.
bool ReferenceMatch(std::string_view pattern, std::string_view name, bool sensitive);

// The words of an exclusion list: runs of bytes between C-locale white space.
std::vector<std::string> ReferenceWords(std::string_view list);

} // namespace tessarin::fuzz
