#include "foundation/ErrorHandler.h"
#include "platform/Module.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <functional>

namespace tessarin {
namespace {

using test::ReadBytes;
using test::RecordingSink;
using test::SeededBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr std::size_t Chunk = MyCompressGzip::ChunkSize;

struct Family {
    const char* name;
    std::function<std::uint64_t(const std::string&, const std::string&, MyStream*, int)> compress;
    std::function<std::uint64_t(const std::string&, const std::string&, MyStream*, std::uint32_t)> decompress;
    std::function<platform::ModuleHandle()> load;
    const char* logicalName;
    const char* brokenFolder;
    const char* readFailure;   // message prefix of a corrupt input
};

const Family Families[] = {
    {"gzip",
     [](auto& s, auto& t, auto* k, int l) { return MyCompressGzip::Compress(s, t, k, l); },
     [](auto& s, auto& t, auto* k, std::uint32_t n) { return MyCompressGzip::Decompress(s, t, k, n); },
     [] { return MyCompressGzip::LoadLibraryA(); }, "zlib.dll", TESSARIN_BROKEN_ZLIB, "Unable to gzread on '"},
    {"bzip2",
     [](auto& s, auto& t, auto* k, int l) { return MyCompressBzip2::Compress(s, t, k, l); },
     [](auto& s, auto& t, auto* k, std::uint32_t n) { return MyCompressBzip2::Decompress(s, t, k, n); },
     [] { return MyCompressBzip2::LoadLibraryA(); }, "bzip2.dll", TESSARIN_BROKEN_BZIP2,
     "Unable to BZ2_bzread on '"},
};

class CompressTest : public ::testing::TestWithParam<Family> {};

// Data that compresses: runs of seeded bytes repeated.
std::vector<std::uint8_t> Compressible(std::size_t length, std::uint32_t seed)
{
    const auto motif = SeededBytes(997, seed);
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = motif[(i / 3) % motif.size()];
    return bytes;
}

TEST_P(CompressTest, RoundTripsEveryLengthAndLevelWithHalfUnitsOfProgress)
{
    const Family& f = GetParam();
    TempFolder folder;
    const std::size_t lengths[] = {0, 1, Chunk - 1, Chunk, Chunk + 1, 2 * Chunk + 16};
    for (const std::size_t length : lengths) {
        for (const int level : {1, 5, 9}) {
            SCOPED_TRACE(std::string(f.name) + " length " + std::to_string(length) + " level " +
                         std::to_string(level));
            const auto plain = length % 2 ? SeededBytes(length, 7) : Compressible(length, 7);
            WriteBytes(folder / "plain", plain);

            RecordingSink packing;
            EXPECT_EQ(f.compress(folder / "plain", folder / "packed", &packing, level), length);
            EXPECT_NEAR(packing.Progress(), static_cast<double>(length) / 2048.0, 0.01);
            EXPECT_EQ(packing.Reports(), static_cast<int>((length + Chunk - 1) / Chunk));

            RecordingSink unpacking;
            const auto packed = ReadBytes(folder / "packed");
            EXPECT_EQ(f.decompress(folder / "packed", folder / "unpacked", &unpacking,
                                   static_cast<std::uint32_t>(length)),
                      length);
            EXPECT_EQ(ReadBytes(folder / "unpacked"), plain);
            // a / 2048 in total, half of the container's share, when
            // compression gained; b * (b / a) / 2048 when (a tiny or random
            // file) it lost.
            const double a = static_cast<double>(packed.size()), b = static_cast<double>(length);
            const double expected = b > 0 ? b * std::min(a / b, b / a) / 2048.0 : 0.0;
            EXPECT_NEAR(unpacking.Progress(), expected, 1e-3 * expected + 1e-6);
        }
    }
}

TEST_P(CompressTest, BreakAfterAnyChunkStopsWithBreakByUser)
{
    const Family& f = GetParam();
    TempFolder folder;
    const auto plain = SeededBytes(3 * Chunk + 5, 3);
    WriteBytes(folder / "plain", plain);
    f.compress(folder / "plain", folder / "whole", nullptr, 6);
    for (int after = 0; after < 4; ++after) {
        SCOPED_TRACE(after);
        RecordingSink packing(after);
        try {
            f.compress(folder / "plain", folder / "packed", &packing, 6);
            ADD_FAILURE() << "no break";
        } catch (const ErrorHandler& e) {
            EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
            EXPECT_EQ(e.GetErrString(), "Break by user!");
        }
        EXPECT_EQ(packing.Reports(), after == 0 ? 1 : after);
        RecordingSink unpacking(after);
        EXPECT_THROW(f.decompress(folder / "whole", folder / "unpacked", &unpacking, 3 * Chunk + 5), ErrorHandler);
    }
}

TEST_P(CompressTest, CorruptTruncatedOrForeignInputIsAReadFailure)
{
    const Family& f = GetParam();
    TempFolder folder;
    const auto plain = Compressible(Chunk + 100, 9);
    WriteBytes(folder / "plain", plain);
    f.compress(folder / "plain", folder / "packed", nullptr, 9);
    const auto packed = ReadBytes(folder / "packed");

    auto flipped = packed;
    flipped[flipped.size() / 2] ^= 0x5A;
    const std::vector<std::vector<std::uint8_t>> inputs = {
        flipped,
        std::vector<std::uint8_t>(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2)),
        std::vector<std::uint8_t>(packed.begin(), packed.end() - 1),
        plain,  // not compressed at all: must not be copied through
        {},
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        WriteBytes(folder / "bad", inputs[i]);
        try {
            f.decompress(folder / "bad", folder / "out", nullptr, static_cast<std::uint32_t>(plain.size()));
            ADD_FAILURE() << "accepted";
        } catch (const ErrorHandler& e) {
            EXPECT_EQ(e.GetErrCode(), errc::ReadFailed);
            EXPECT_EQ(e.GetErrString(), f.readFailure + (folder / "bad") + "'");
        }
    }
}

TEST_P(CompressTest, OutputBeyondTheRecordedSizeIsRefused)
{
    const Family& f = GetParam();
    TempFolder folder;
    WriteBytes(folder / "plain", std::vector<std::uint8_t>(4 * Chunk, 0));
    f.compress(folder / "plain", folder / "packed", nullptr, 9);
    EXPECT_THROW(f.decompress(folder / "packed", folder / "out", nullptr, 1000), ErrorHandler);
    EXPECT_EQ(f.decompress(folder / "packed", folder / "out", nullptr, 4 * Chunk), 4 * Chunk);
}

TEST_P(CompressTest, LoadingReportsAMissingLibraryOrEntryPoint)
{
    const Family& f = GetParam();
    EXPECT_TRUE(f.load());
    TempFolder empty;
    struct Case {
        std::string folder;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {empty.Path(), errc::LibraryNotFound, "Unable to load '" + platform::Module::ShownNameFor(f.logicalName) + "'"},
        {f.brokenFolder, errc::LibraryFunctions, "Unable to load DLL functions!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        platform::Module::SetSearchFolder(c.folder);
        try {
            f.load();
            ADD_FAILURE() << "loaded";
        } catch (const ErrorHandler& e) {
            EXPECT_EQ(e.GetErrCode(), c.code);
            EXPECT_EQ(e.GetErrString(), c.message);
        }
        platform::Module::SetSearchFolder("");
    }
}

INSTANTIATE_TEST_SUITE_P(Families, CompressTest, ::testing::ValuesIn(Families),
                         [](const ::testing::TestParamInfo<Family>& p) { return std::string(p.param.name); });

// The files must stay readable by the libraries' own file interfaces, and
// their files by the adapters: other tools meet these files too.
TEST(CompressFormat, GzipAndBzip2FilesInterchangeWithTheLibrariesFileInterfaces)
{
    TempFolder folder;
    const auto plain = Compressible(2 * Chunk + 77, 5);
    WriteBytes(folder / "plain", plain);

    MyCompressGzip::Compress(folder / "plain", folder / "a.gz", nullptr, 9);
    gzFile gz = gzopen((folder / "a.gz").c_str(), "rb");
    ASSERT_TRUE(gz);
    std::vector<std::uint8_t> back(plain.size() + 10);
    EXPECT_EQ(gzread(gz, back.data(), static_cast<unsigned>(back.size())), static_cast<int>(plain.size()));
    gzclose(gz);
    back.resize(plain.size());
    EXPECT_EQ(back, plain);

    gz = gzopen((folder / "b.gz").c_str(), "wb3");
    gzwrite(gz, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(gz);
    MyCompressGzip::Decompress(folder / "b.gz", folder / "b", nullptr, static_cast<std::uint32_t>(plain.size()));
    EXPECT_EQ(ReadBytes(folder / "b"), plain);

    MyCompressBzip2::Compress(folder / "plain", folder / "a.bz", nullptr, 1);
    BZFILE* bz = BZ2_bzopen((folder / "a.bz").c_str(), "rb");
    ASSERT_TRUE(bz);
    std::fill(back.begin(), back.end(), 0);
    back.resize(plain.size() + 10);
    int got = 0;
    for (int n; (n = BZ2_bzread(bz, back.data() + got, static_cast<int>(back.size()) - got)) > 0;)
        got += n;
    BZ2_bzclose(bz);
    EXPECT_EQ(got, static_cast<int>(plain.size()));
    back.resize(plain.size());
    EXPECT_EQ(back, plain);

    bz = BZ2_bzopen((folder / "b.bz").c_str(), "wb9");
    BZ2_bzwrite(bz, const_cast<std::uint8_t*>(plain.data()), static_cast<int>(plain.size()));
    BZ2_bzclose(bz);
    MyCompressBzip2::Decompress(folder / "b.bz", folder / "c", nullptr, static_cast<std::uint32_t>(plain.size()));
    EXPECT_EQ(ReadBytes(folder / "c"), plain);
}

TEST(CompressFormat, ConcatenatedMembersDecompressWhole)
{
    TempFolder folder;
    const auto first = SeededBytes(1000, 1), second = SeededBytes(2000, 2);
    WriteBytes(folder / "1", first);
    WriteBytes(folder / "2", second);
    MyCompressGzip::Compress(folder / "1", folder / "1.gz", nullptr, 6);
    MyCompressGzip::Compress(folder / "2", folder / "2.gz", nullptr, 6);
    auto joined = ReadBytes(folder / "1.gz");
    const auto tail = ReadBytes(folder / "2.gz");
    joined.insert(joined.end(), tail.begin(), tail.end());
    WriteBytes(folder / "joined.gz", joined);
    MyCompressGzip::Decompress(folder / "joined.gz", folder / "joined", nullptr, 3000);
    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(ReadBytes(folder / "joined"), expected);
}

} // namespace
} // namespace tessarin
