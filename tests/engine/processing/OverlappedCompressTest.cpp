// Compression on several cores and with reads and writes on threads of their
// own: gzip as independent members, bzip2 as one stream. The files must stay
// what the libraries' own readers take, the user's level must reach the
// compressor, and a break or a failure must stop the adapters as the serial
// loops stopped.
#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"
#include "foundation/OverlappedIo.h"
#include "faults/FaultInjection.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

namespace tessarin {
namespace {

using test::ReadBytes;
using test::RecordingSink;
using test::TempFolder;
using test::WriteBytes;

constexpr std::size_t Chunk = MyCompressGzip::ChunkSize;

// Something like prose: words of a small vocabulary in seeded order, with
// punctuation and line breaks. Levels differ on it as they do on real text.
std::vector<std::uint8_t> Text(std::size_t length, std::uint32_t seed)
{
    static const char* const words[] = {
        "the", "cipher", "block", "of", "and", "a", "file", "is", "written", "to", "disk", "in",
        "chunks", "while", "key", "password", "stream", "header", "folder", "user", "progress",
        "window", "each", "compressed", "before", "after", "encrypted", "container", "name", "length"};
    std::vector<std::uint8_t> text;
    text.reserve(length + 16);
    std::uint32_t x = seed * 2654435761u + 7;
    std::size_t sentence = 0;
    while (text.size() < length) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const char* w = words[x % std::size(words)];
        text.insert(text.end(), w, w + std::strlen(w));
        const bool stop = ++sentence % (5 + (x >> 8) % 11) == 0;
        text.push_back(stop ? '.' : ' ');
        if (stop)
            text.push_back((x >> 16) % 4 == 0 ? '\n' : ' ');
    }
    text.resize(length);
    return text;
}

// Everything a plain zlib gzread reader gives back from a file.
std::vector<std::uint8_t> GzRead(const std::string& path)
{
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz)
        return {};
    std::vector<std::uint8_t> all, buffer(65536);
    for (int n; (n = gzread(gz, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0;)
        all.insert(all.end(), buffer.begin(), buffer.begin() + n);
    gzclose(gz);
    return all;
}

// The number of gzip members in a file, by inflating one after the other.
int Members(const std::vector<std::uint8_t>& file)
{
    int members = 0;
    std::size_t at = 0;
    std::vector<std::uint8_t> sink(1 << 16);
    while (at < file.size()) {
        z_stream z{};
        if (inflateInit2(&z, 15 + 16) != Z_OK)
            return -1;
        z.next_in = const_cast<Bytef*>(file.data() + at);
        z.avail_in = static_cast<uInt>(file.size() - at);
        int result = Z_OK;
        while (result == Z_OK) {
            z.next_out = sink.data();
            z.avail_out = static_cast<uInt>(sink.size());
            result = inflate(&z, Z_NO_FLUSH);
        }
        at = file.size() - z.avail_in;
        inflateEnd(&z);
        if (result != Z_STREAM_END)
            return -1;
        ++members;
    }
    return members;
}

TEST(ParallelGzip, ALongFileIsSeveralMembersThatZlibsGzreadReadsWhole)
{
    TempFolder folder;
    for (const std::size_t length : {std::size_t{0}, std::size_t{1000}, 4 * Chunk, 4 * Chunk + 1, 13 * Chunk + 999}) {
        for (const int level : {1, 6, 9}) {
            SCOPED_TRACE(std::to_string(length) + " bytes at level " + std::to_string(level));
            const auto plain = Text(length, 3);
            WriteBytes(folder / "plain", plain);
            EXPECT_EQ(MyCompressGzip::Compress(folder / "plain", folder / "a.gz", nullptr, level), length);
            const auto packed = ReadBytes(folder / "a.gz");
            // One member per four chunks of input (an empty file still has one).
            EXPECT_EQ(Members(packed), int(std::max<std::size_t>(1, (length + 4 * Chunk - 1) / (4 * Chunk))));
            EXPECT_EQ(GzRead(folder / "a.gz"), plain);
            MyCompressGzip::Decompress(folder / "a.gz", folder / "back", nullptr, static_cast<std::uint32_t>(length));
            EXPECT_EQ(ReadBytes(folder / "back"), plain);
            // However the workers were scheduled, or with none, the same bytes.
            MyCompressGzip::Compress(folder / "plain", folder / "again.gz", nullptr, level);
            EXPECT_EQ(ReadBytes(folder / "again.gz"), packed);
            SetOverlapAllowed(false);
            MyCompressGzip::Compress(folder / "plain", folder / "again.gz", nullptr, level);
            SetOverlapAllowed(true);
            EXPECT_EQ(ReadBytes(folder / "again.gz"), packed);
        }
    }
}

struct Family {
    const char* name;
    int family;  // as in the filter word
    std::function<std::uint64_t(const std::string&, const std::string&, MyStream*, int)> compress;
    std::function<std::uint64_t(const std::string&, const std::string&, MyStream*, std::uint32_t)> decompress;
    std::string writeFailure;  // the adapter's message for a failed write, before the target's name
};

const Family Families[] = {
    {"gzip", MyObjectAes::FamilyGzip,
     [](auto& s, auto& t, auto* k, int l) { return MyCompressGzip::Compress(s, t, k, l); },
     [](auto& s, auto& t, auto* k, std::uint32_t n) { return MyCompressGzip::Decompress(s, t, k, n); },
     "Unable to gzwrite on '"},
    {"bzip2", MyObjectAes::FamilyBzip2,
     [](auto& s, auto& t, auto* k, int l) { return MyCompressBzip2::Compress(s, t, k, l); },
     [](auto& s, auto& t, auto* k, std::uint32_t n) { return MyCompressBzip2::Decompress(s, t, k, n); },
     "Unable to write on '"},
};

void PrintTo(const Family& f, std::ostream* os)
{
    *os << f.name;
}

class OverlappedCompress : public ::testing::TestWithParam<Family> {};

// The user's level must reach the compressor: on text, the fastest level
// and the best one give files, and containers, of different sizes.
TEST_P(OverlappedCompress, FastestAndBestGiveDifferentSizesOnText)
{
    const Family& f = GetParam();
    TempFolder folder;
    const auto plain = Text(6 * Chunk + 123, 11);
    WriteBytes(folder / "plain", plain);
    std::map<int, std::size_t> packed, container;
    for (const int level : {1, 9}) {
        f.compress(folder / "plain", folder / "packed", nullptr, level);
        packed[level] = ReadBytes(folder / "packed").size();

        WriteBytes(folder / "a.txt", plain);
        test::PipelineOptions o;
        o.family = f.family;
        o.level = level;
        o.changeExtension = true;
        test::Pipeline pipeline(o);
        ASSERT_TRUE(pipeline.Run(folder / "a.txt").ok);
        ASSERT_TRUE(test::Exists(folder / "a.txt.gz.aes") || test::Exists(folder / "a.txt.bz.aes"));
        const std::string box = test::Exists(folder / "a.txt.gz.aes") ? folder / "a.txt.gz.aes" : folder / "a.txt.bz.aes";
        container[level] = ReadBytes(box).size();
        EXPECT_EQ(test::PlainOf(box, o), plain);
        std::remove(box.c_str());
    }
    EXPECT_GT(packed[1], packed[9] + packed[9] / 100) << f.name;
    EXPECT_GT(container[1], container[9] + container[9] / 100) << f.name;
}

// A break asked at any chunk: the compressor stops there, the sink hears of
// no chunk after it, and what reached the file is the start of the whole
// compressed file, of no more content than the chunks before the break.
TEST_P(OverlappedCompress, BreakAtEveryChunkWritesNothingAfter)
{
    const Family& f = GetParam();
    TempFolder folder;
    constexpr std::size_t Chunks = 9;
    const auto plain = Text(Chunks * Chunk - 77, 12);
    WriteBytes(folder / "plain", plain);
    f.compress(folder / "plain", folder / "whole", nullptr, 5);
    const auto whole = ReadBytes(folder / "whole");
    for (int breakAt = 1; breakAt <= int(Chunks); ++breakAt) {
        SCOPED_TRACE(std::string(f.name) + " break at chunk " + std::to_string(breakAt));
        RecordingSink sink(breakAt);
        auto e = test::CatchError([&] { f.compress(folder / "plain", folder / "part", &sink, 5); });
        EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
        EXPECT_EQ(sink.Reports(), breakAt);
        const auto part = ReadBytes(folder / "part");
        ASSERT_LE(part.size(), whole.size());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
        if (f.family == MyObjectAes::FamilyGzip) {
            // Whole members only, of the chunks read before the break.
            const auto content = GzRead(folder / "part");
            EXPECT_LE(content.size(), std::size_t(breakAt) * Chunk);
            EXPECT_TRUE(std::equal(content.begin(), content.end(), plain.begin()));
        }

        RecordingSink unpacking(breakAt);
        e = test::CatchError([&] {
            f.decompress(folder / "whole", folder / "out", &unpacking, static_cast<std::uint32_t>(plain.size()));
        });
        EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
        EXPECT_EQ(unpacking.Reports(), breakAt);
        // Each chunk is written, then reported.
        EXPECT_EQ(ReadBytes(folder / "out").size(), std::min(std::size_t(breakAt) * Chunk, plain.size()));
    }
}

// Each write of the compressed file fails in turn: the adapter's own write
// failure, and the file stops at the write that failed. Each write of the
// decompressed content: the file's own failure, whole chunks before it.
TEST_P(OverlappedCompress, AWriteFailureAtEveryWriteIsTheAdaptersOwn)
{
    const Family& f = GetParam();
    TempFolder folder;
    const auto plain = Text(9 * Chunk - 77, 13);
    WriteBytes(folder / "plain", plain);
    FaultInjection::FailAt(FaultInjection::Operation::Write, 0, 0);  // count only
    f.compress(folder / "plain", folder / "whole", nullptr, 5);
    const int writes = FaultInjection::CallsSince(FaultInjection::Operation::Write);
    FaultInjection::Reset();
    const auto whole = ReadBytes(folder / "whole");
    ASSERT_GT(writes, 1);

    for (int call = 1; call <= writes; ++call) {
        SCOPED_TRACE(std::string(f.name) + " failing write " + std::to_string(call));
        FaultInjection::FailAt(FaultInjection::Operation::Write, call, ENOSPC);
        auto e = test::CatchError([&] { f.compress(folder / "plain", folder / "part", nullptr, 5); });
        const int made = FaultInjection::CallsSince(FaultInjection::Operation::Write);
        FaultInjection::Reset();
        EXPECT_EQ(e.GetErrCode(), errc::WriteFailed);
        EXPECT_EQ(e.GetErrString(), f.writeFailure + (folder / "part") + "'");
        EXPECT_EQ(e.GetReason(), "No space left on device");
        EXPECT_EQ(made, call);
        const auto part = ReadBytes(folder / "part");
        EXPECT_LT(part.size(), whole.size());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
    }
    for (int call = 1; call <= 9; ++call) {
        SCOPED_TRACE(std::string(f.name) + " failing content write " + std::to_string(call));
        FaultInjection::FailAt(FaultInjection::Operation::Write, call, EIO);
        auto e = test::CatchError([&] {
            f.decompress(folder / "whole", folder / "out", nullptr, static_cast<std::uint32_t>(plain.size()));
        });
        FaultInjection::Reset();
        EXPECT_EQ(e.GetErrCode(), errc::WriteFailed);
        EXPECT_EQ(e.GetErrString(), "Unable to write file '" + (folder / "out") + "'");
        EXPECT_EQ(e.GetReason(), "Input/output error");
        EXPECT_EQ(ReadBytes(folder / "out").size(), std::size_t(call - 1) * Chunk);
    }
}

INSTANTIATE_TEST_SUITE_P(Families, OverlappedCompress, ::testing::ValuesIn(Families),
                         [](const ::testing::TestParamInfo<Family>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessarin
