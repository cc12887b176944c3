#include "CrashTree.h"

#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <system_error>

namespace tessarin::crash {

namespace fs = std::filesystem;

namespace {

std::uint64_t SplitMix(std::uint64_t& x)
{
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t Rotl(std::uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}

// Several levels, a folder with a dot in its name, and names with blanks and
// characters beyond ASCII, as users' folders have them.
constexpr std::array<const char*, 12> Folders{
    "",
    "docs/",
    "docs/notes/",
    "docs/notes/2019/",
    "media/",
    "media/raw/",
    "src/lib/deep/er/",
    "with space/",
    "Ünïcödé Ordner/",
    "data sets/été 2023/",
    "v1.2/",
    "v1.2/build output/",
};

constexpr std::array<const char*, 20> Stems{
    "report", "notes", "draft", "photo", "budget", "letter", "index", "summary", "table", "backup",
    "todo", "minutes", "plan", "scan", "invoice", "readme", "config", "journal", "sample", "chapter",
};

// No name ends in a suffix the program gives its own outputs, so that every
// such file found later is one of its outputs or leftovers.
constexpr std::array<const char*, 11> Extensions{
    ".txt", ".md", ".csv", ".dat", ".bin", ".log", ".html", "", ".tar.xyz", ".JPG", ".json",
};

constexpr std::array<const char*, 11> SpecialNames{
    "résumé final.txt",
    "日本語 メモ.txt",
    "space in name.bin",
    "naïve café.md",
    "Grüße & Co.csv",
    "no extension",
    ".hidden",
    "multi.dot.name.v2.data",
    "UPPER.TXT",
    "emoji 😀 note.txt",
    "  two leading blanks.txt",
};

constexpr std::array<const char*, 48> Words{
    "the",     "file",    "is",      "encrypted", "with",    "a",        "key",      "and",
    "block",   "size",    "of",      "bits",      "data",    "folder",   "report",   "quarter",
    "figures", "revenue", "meeting", "notes",     "draft",   "version",  "number",   "table",
    "summary", "archive", "letter",  "dear",      "sincerely", "invoice", "payment", "due",
    "project", "plan",    "phase",   "review",    "budget",  "cost",     "estimate", "total",
    "line",    "page",    "chapter", "section",   "appendix", "index",   "entry",    "value",
};

std::string TextLike(Random& random, std::size_t size)
{
    std::string text;
    text.reserve(size + 32);
    std::size_t column = 0;
    while (text.size() < size) {
        std::string word = random.Below(9) == 0 ? std::to_string(random.Below(100000)) : Words[random.Below(Words.size())];
        text += word;
        column += word.size();
        if (column > 60 + random.Below(20)) {
            text += random.Below(7) == 0 ? "\r\n" : "\n";
            column = 0;
        } else {
            text += ' ';
            ++column;
        }
    }
    text.resize(size);
    return text;
}

std::string RandomBytes(Random& random, std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t value = random.Next();
        for (std::size_t j = i; j < size && j < i + 8; ++j) {
            bytes[j] = static_cast<char>(value & 0xFF);
            value >>= 8;
        }
    }
    return bytes;
}

std::string Content(Random& random, std::size_t size, bool text)
{
    return text ? TextLike(random, size) : RandomBytes(random, size);
}

} // namespace

Random::Random(std::uint64_t seed)
{
    for (std::uint64_t& word : m_state)
        word = SplitMix(seed);
}

std::uint64_t Random::Next()
{
    // xoshiro256**
    const std::uint64_t result = Rotl(m_state[1] * 5, 7) * 9;
    const std::uint64_t t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = Rotl(m_state[3], 45);
    return result;
}

std::uint64_t Random::Below(std::uint64_t bound)
{
    return bound == 0 ? 0 : Next() % bound;
}

double Random::Unit()
{
    return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

Tree MakeTree(std::uint64_t seed, unsigned divisor)
{
    Random random(seed);
    Tree tree;
    std::set<std::string> taken;
    const auto add = [&](std::string path, std::size_t size, bool text) {
        if (!taken.insert(path).second)
            throw std::logic_error("the tree names a file twice: " + path);
        tree.push_back({std::move(path), Content(random, size, text), text});
    };
    const auto folder = [&] { return std::string(Folders[random.Below(Folders.size())]); };

    // Sizes around the cipher's block lengths and the buffer sizes, empty
    // files included.
    constexpr std::array<std::size_t, 16> Edges{0, 0, 1, 2, 15, 16, 17, 23, 24, 31, 32, 33, 4095, 4096, 4097, 65536};
    for (std::size_t i = 0; i < Edges.size(); ++i)
        add(folder() + "edge-" + std::to_string(i) + (i % 2 ? ".bin" : ".txt"), Edges[i], i % 2 == 0);

    for (std::size_t i = 0; i < SpecialNames.size(); ++i)
        add(std::string(Folders[i % Folders.size()]) + SpecialNames[i], 100 + random.Below(20000), i % 3 != 0);

    // The bulk: sizes spread evenly on a log scale from 1 byte to 192 KiB.
    const double largest = std::log(196608.0 / divisor);
    for (std::size_t i = 0; i < 190; ++i) {
        const auto size = static_cast<std::size_t>(std::exp(random.Unit() * largest));
        const std::string name = std::string(Stems[random.Below(Stems.size())]) + "-" + std::to_string(i) +
                                 Extensions[random.Below(Extensions.size())];
        add(folder() + name, size, random.Below(2) == 0);
    }

    // A few large files, of sizes that are no multiple of anything.
    constexpr std::array<std::size_t, 6> Large{2600000, 2000000, 1700000, 1300000, 1000000, 700000};
    for (std::size_t i = 0; i < Large.size(); ++i)
        add(folder() + "large " + std::to_string(i) + (i % 2 ? ".iso" : ".txt"),
            Large[i] / divisor + random.Below(4096), i % 2 == 0);
    return tree;
}

std::uint64_t TotalBytes(const Tree& tree)
{
    std::uint64_t total = 0;
    for (const TreeFile& file : tree)
        total += file.bytes.size();
    return total;
}

void LayTree(const fs::path& root, const Tree& tree)
{
    fs::remove_all(root);
    fs::create_directories(root);
    for (const TreeFile& file : tree) {
        const fs::path path = root / file.path;
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
    }
}

Tree ReadTree(const fs::path& root)
{
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file())
            continue;
        TreeFile file;
        file.path = fs::relative(entry.path(), root).generic_string();
        if (!ReadFile(entry.path(), file.bytes))
            throw std::runtime_error("cannot read " + entry.path().string());
        tree.push_back(std::move(file));
    }
    return tree;
}

bool ReadFile(const fs::path& path, std::string& bytes)
{
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(path, error)))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace tessarin::crash
