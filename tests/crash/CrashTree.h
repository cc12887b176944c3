#pragma once
// The tree of user files the crash test works on: made from a seed, so that
// every run and every trial starts from the same bytes, and kept in memory
// so that what is on disk can be compared with it byte for byte.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessarin::crash {

// A file as the tree holds it: its path relative to the tree's root (UTF-8,
// '/' between folders) and its bytes.
struct TreeFile {
    std::string path;
    std::string bytes;
    bool text = false;  // made of words (compresses well) rather than random bytes
};

using Tree = std::vector<TreeFile>;

// The same seed gives the same tree. divisor shrinks the larger files (for
// slower builds) without changing the names, the count or the small files.
Tree MakeTree(std::uint64_t seed, unsigned divisor);

std::uint64_t TotalBytes(const Tree& tree);

// Removes whatever is at root and lays the tree there again.
void LayTree(const std::filesystem::path& root, const Tree& tree);

// Every regular file under root, as the same kind of tree (text is left
// false).
Tree ReadTree(const std::filesystem::path& root);

// The bytes of one file; false when it cannot be read as a regular file.
bool ReadFile(const std::filesystem::path& path, std::string& bytes);

// A small generator whose sequence is fixed by the seed alone, whatever the
// standard library: std::mt19937_64's output is, its distributions are not.
class Random {
public:
    explicit Random(std::uint64_t seed);
    std::uint64_t Next();
    std::uint64_t Below(std::uint64_t bound);  // 0 <= value < bound
    double Unit();                             // 0 <= value < 1

private:
    std::uint64_t m_state[4];
};

} // namespace tessarin::crash
