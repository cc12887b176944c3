// Writes the seed corpus of every fuzz target: fuzz_seeds <corpus folder>.
// The output is committed under tests/fuzz/corpus; run this again after a
// change of an input layout. Every container seed is also decrypted through
// the fuzz harness, which must give the outcome its row expects, so a seed
// that no longer reaches the step it was made for is noticed here.
#include "ContainerCase.h"
#include "FuzzSupport.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"
#include "processing/MyObjectAes.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

using namespace tessarin;
using namespace tessarin::fuzz;
namespace cc = tessarin::fuzz::container;

namespace {

enum class Expect { Ok, Fails, Either };

struct ContainerSeed {
    const char* file;
    OperMode mode;
    int keyBytes;
    int blockBytes;
    int family;
    const char* storedName;
    std::uint8_t options;
    std::size_t plainLength;
    Expect expect;
    enum Twist { None, Legacy, WrongCrc, ShortLength, DamagedData } twist = None;
};

constexpr std::uint8_t Cut3 = cc::CutEnd | (2 << 5);

const ContainerSeed ContainerSeeds[] = {
    // Each mode with each block size once, the key lengths in turn.
    {"none-ecb-k16-b16", OperMode::ECB, 16, 16, 0, "plain.txt", 0, 300, Expect::Ok},
    {"none-ecb-k24-b32", OperMode::ECB, 24, 32, 0, "plain.txt", 0, 301, Expect::Ok},
    {"none-ecb-k32-b24", OperMode::ECB, 32, 24, 0, "plain.txt", 0, 17, Expect::Ok},
    {"none-cbc-k24-b24", OperMode::CBC, 24, 24, 0, "plain.txt", 0, 240, Expect::Ok},
    {"none-cbc-k32-b16", OperMode::CBC, 32, 16, 0, "plain.txt", 0, 33, Expect::Ok},
    {"none-cbc-k16-b32", OperMode::CBC, 16, 32, 0, "plain.txt", 0, 64, Expect::Ok},
    {"none-cfb-k32-b32", OperMode::CFB, 32, 32, 0, "plain.txt", 0, 200, Expect::Ok},
    {"none-cfb-k16-b24", OperMode::CFB, 16, 24, 0, "plain.txt", 0, 1, Expect::Ok},
    {"none-cfb-k24-b16", OperMode::CFB, 24, 16, 0, "plain.txt", 0, 512, Expect::Ok},
    // Both compression families in every mode.
    {"gzip-ecb-k24-b24", OperMode::ECB, 24, 24, MyObjectAes::FamilyGzip, "plain.txt.gz", 0, 700, Expect::Ok},
    {"gzip-cbc-k32-b16", OperMode::CBC, 32, 16, MyObjectAes::FamilyGzip, "plain.txt.gz", 0, 900, Expect::Ok},
    {"gzip-cfb-k16-b32", OperMode::CFB, 16, 32, MyObjectAes::FamilyGzip, "plain.txt.gz", 0, 50, Expect::Ok},
    {"bzip2-ecb-k32-b24", OperMode::ECB, 32, 24, MyObjectAes::FamilyBzip2, "plain.txt.bz", 0, 600, Expect::Ok},
    {"bzip2-cbc-k16-b32", OperMode::CBC, 16, 32, MyObjectAes::FamilyBzip2, "plain.txt.bz", 0, 800, Expect::Ok},
    {"bzip2-cfb-k24-b16", OperMode::CFB, 24, 16, MyObjectAes::FamilyBzip2, "plain.txt.bz", 0, 40, Expect::Ok},
    // Outputs that take the container's own name.
    {"in-place-none", OperMode::CBC, 32, 16, 0, cc::ContainerName, 0, 100, Expect::Ok},
    {"in-place-gzip", OperMode::CBC, 32, 16, MyObjectAes::FamilyGzip, "box.aes.gz", 0, 400, Expect::Ok},
    {"in-place-bzip2", OperMode::CFB, 16, 16, MyObjectAes::FamilyBzip2, "box.aes.bz", cc::Wiping, 400, Expect::Ok},
    // The pipeline's options.
    {"wipe-move-none", OperMode::ECB, 16, 16, 0, "plain.txt", cc::Wiping | cc::ChangeExtension | cc::DeleteOriginal,
     120, Expect::Ok},
    {"move-gzip", OperMode::CBC, 24, 24, MyObjectAes::FamilyGzip, "plain.txt.gz",
     cc::ChangeExtension | cc::DeleteOriginal, 300, Expect::Ok},
    {"empty-data", OperMode::CBC, 32, 32, 0, "empty.txt", 0, 0, Expect::Ok},
    {"legacy-header", OperMode::CBC, 32, 16, 0, "old.txt", 0, 90, Expect::Ok, ContainerSeed::Legacy},
    // Damaged or hostile containers.
    {"name-escapes", OperMode::CBC, 32, 16, 0, "../sibling/plain.txt", 0, 80, Expect::Fails},
    {"name-dot-dot", OperMode::ECB, 16, 16, 0, "..", 0, 80, Expect::Fails},
    {"gzip-without-suffix", OperMode::CBC, 32, 16, MyObjectAes::FamilyGzip, "plain.txt", 0, 300, Expect::Fails},
    {"bzip2-bare-suffix", OperMode::CFB, 32, 32, MyObjectAes::FamilyBzip2, ".bz", 0, 300, Expect::Fails},
    {"wrong-crc", OperMode::CBC, 32, 16, 0, "plain.txt", 0, 200, Expect::Fails, ContainerSeed::WrongCrc},
    {"cut-end", OperMode::CBC, 32, 16, 0, "plain.txt", Cut3, 200, Expect::Fails},
    {"gzip-damaged", OperMode::ECB, 32, 16, MyObjectAes::FamilyGzip, "plain.txt.gz", cc::FixNfSize, 500,
     Expect::Fails, ContainerSeed::DamagedData},
    {"bzip2-damaged", OperMode::CBC, 24, 32, MyObjectAes::FamilyBzip2, "plain.txt.bz", cc::FixNfSize, 500,
     Expect::Fails, ContainerSeed::DamagedData},
    // Whether these are accepted is the pipeline's policy, not the
    // harness's: the checks hold either way.
    {"unknown-family", OperMode::CBC, 32, 16, 3, "plain.txt", 0, 100, Expect::Either},
    {"short-length", OperMode::CFB, 32, 24, 0, "plain.txt", 0, 100, Expect::Either, ContainerSeed::ShortLength},
};

Bytes Text(std::size_t length)
{
    static const std::string line = "Seed text for the decryption fuzzer, with some repetition.\n";
    Bytes text;
    for (std::size_t i = 0; text.size() < length; ++i) {
        const std::string numbered = std::to_string(i) + ": " + line;
        text.insert(text.end(), numbered.begin(), numbered.end());
    }
    text.resize(length);
    return text;
}

Bytes Compressed(int family, const Bytes& plain)
{
    const std::string folder = ScratchRoot() + "/seeds";
    MakeFolder(folder);
    WriteFile(folder + "/in", plain);
    if (family == MyObjectAes::FamilyGzip)
        MyCompressGzip::Compress(folder + "/in", folder + "/out", nullptr, 9);
    else
        MyCompressBzip2::Compress(folder + "/in", folder + "/out", nullptr, 9);
    Bytes out = ReadFile(folder + "/out");
    EmptyFolder(folder);
    return out;
}

void Put32(Bytes& input, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        input[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes ContainerInput(const ContainerSeed& s)
{
    const Bytes plain = Text(s.plainLength);
    Bytes data = s.family == MyObjectAes::FamilyGzip || s.family == MyObjectAes::FamilyBzip2
                     ? Compressed(s.family, plain)
                     : plain;
    if (s.twist == ContainerSeed::DamagedData)
        data[data.size() / 2] ^= 0x55;

    std::uint8_t fixes = cc::FixLength | cc::FixCrc;
    Bytes input(cc::DataAt, 0);
    const bool legacy = s.twist == ContainerSeed::Legacy;
    std::memcpy(input.data() + cc::Hunk1At, legacy ? cc::MagicLegacy : cc::MagicCurrent, sizeof cc::MagicCurrent);
    Put32(input, cc::Hunk1At + cc::TimeAt, 0x60000000u);
    std::memcpy(input.data() + cc::Hunk1At + cc::NameAt, s.storedName, std::strlen(s.storedName));
    Put32(input, cc::Hunk2At + cc::FilterAt, static_cast<std::uint32_t>(s.family) << 16 | 9u);
    Put32(input, cc::Hunk2At + cc::NfSizeAt, static_cast<std::uint32_t>(plain.size()));
    input.insert(input.end(), data.begin(), data.end());

    if (legacy) {
        // The legacy header has one hunk: the data starts where the second
        // hunk would, after the zero bytes of its slot and filler, so the
        // length and CRC are not those the fix-ups would give.
        fixes = 0;
        Bytes seen(MyAesFiles::CalcHeader(MyAesFiles::Hunk2Size, s.blockBytes), 0);
        std::fill(input.begin() + cc::Hunk2At, input.begin() + cc::DataAt, std::uint8_t{0});
        seen.insert(seen.end(), data.begin(), data.end());
        Put32(input, cc::Hunk1At + cc::LengthAt, static_cast<std::uint32_t>(seen.size()));
        Put32(input, cc::Hunk1At + cc::CrcAt, static_cast<std::uint32_t>(crc32(0, seen.data(), static_cast<uInt>(seen.size()))));
    } else if (s.twist == ContainerSeed::WrongCrc) {
        fixes = cc::FixLength;
        Put32(input, cc::Hunk1At + cc::CrcAt, 0x12345678u);
    } else if (s.twist == ContainerSeed::ShortLength) {
        fixes = cc::FixCrc;
        Put32(input, cc::Hunk1At + cc::LengthAt, static_cast<std::uint32_t>(data.size() / 2));
    }
    input[cc::SettingsAt] = cc::Settings(s.mode, s.keyBytes, s.blockBytes, fixes);
    input[cc::OptionsAt] = s.options;
    return input;
}

// Text seeds: a flags byte, then the target's own text. Written with their
// lengths, as some hold zero bytes.
struct TextSeed {
    const char* target;
    const char* file;
    std::string bytes;
};

std::vector<TextSeed> TextSeeds()
{
    const auto s = [](const char* text, std::size_t length) { return std::string(text, length); };
#define SEED(target, file, literal) TextSeed{target, file, s(literal, sizeof literal - 1)}
    std::vector<TextSeed> seeds = {
        SEED("file_table", "files", "\x00" "a\nb.txt\ndir/c\ndir/sub/d\n"),
        SEED("file_table", "relative", "\x05" "./a\ndir/../b.txt\n/\n\n..\ndir//sub/./d\na/.\n"),
        SEED("file_table", "not-files", "\x00" "link\ndirlink/\nfifo\ndangling\ndir\nmissing\na/\n"),
        SEED("file_table", "odd-names", "\xFF" "sp ace\nstar*\ncr\r\nempty\na\r\n"),
        SEED("file_table", "no-last-lf", "\x00" "a\nb.txt"),
        SEED("file_table", "absolute", "\x00" "/\n/dev/null\n/proc/self/status\n"),
        {"file_table", "longest-line", std::string(1, '\0') + std::string(1023, 'x') + "\na\n"},
        {"file_table", "line-too-long", std::string(1, '\x03') + "a\n" + std::string(1100, 'y')},
        SEED("wildcard", "star-ext", "\x00" "*.txt\nREADME.TXT"),
        SEED("wildcard", "star-ext-sensitive", "\x01" "*.txt\nREADME.TXT"),
        SEED("wildcard", "question", "\x00" "a?c*\nabcdef"),
        SEED("wildcard", "stars", "\x00" "*a*b*c\nxaybzcc"),
        SEED("wildcard", "star-run", "\x00" "**?*?***\nab"),
        SEED("wildcard", "backtrack", "\x00" "*aaa*b\naaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
        SEED("wildcard", "empty", "\x00" "\n"),
        SEED("wildcard", "high-bytes", "\x00" "\xE4*\n\xC4x"),
        SEED("wildcard", "brackets", "\x00" "[*]\n[x]"),
        SEED("wildcard", "zero-byte", "\x01" "a\x00*\na\x00z"),
        SEED("filter", "archives", "\x00" "*.zip *.rar\t*.7z\nbackup.ZIP"),
        SEED("filter", "archives-sensitive", "\x01" "*.zip *.rar\t*.7z\nbackup.ZIP"),
        SEED("filter", "separators", "\x00" " *.gz,*.bz  ;x\v\f\r\nname.gz,"),
        SEED("filter", "all", "\x00" "\t*\n\nany thing"),
        SEED("filter", "empty", "\x00" "\n"),
        SEED("filter", "high-bytes", "\x00" "\xA0*\xA0 \x85q\n\xA0x\xA0"),
        SEED("filter", "zero-byte", "\x00" "a\x00" "b c\nc"),
    };
#undef SEED
    return seeds;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    const std::string corpus = argv[1];
    int wrong = 0;
    MakeFolder(corpus + "/decrypt");
    for (const ContainerSeed& seed : ContainerSeeds) {
        const Bytes input = ContainerInput(seed);
        const bool ok = cc::RunDecryption(input);
        const bool expected = seed.expect == Expect::Either || ok == (seed.expect == Expect::Ok);
        std::printf("%-24s %5zu bytes  %s%s\n", seed.file, input.size(), ok ? "decrypted" : "refused",
                    expected ? "" : "  <-- not what the seed is for");
        wrong += !expected;
        WriteFile(corpus + "/decrypt/" + seed.file, input);
    }
    for (const TextSeed& seed : TextSeeds()) {
        MakeFolder(corpus + "/" + seed.target);
        WriteFile(corpus + "/" + seed.target + "/" + seed.file, std::string_view(seed.bytes));
    }
    return wrong == 0 ? 0 : 1;
}
