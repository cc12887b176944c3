#include "foundation/CCrc32Dynamic.h"
#include "foundation/CHiResTimer.h"
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

// Bitwise reference: one bit per step, no table.
std::uint32_t ReferenceCrc(const std::vector<std::uint8_t>& bytes)
{
    std::uint32_t r = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) {
        r ^= b;
        for (int i = 0; i < 8; ++i)
            r = (r & 1u) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    }
    return ~r;
}

TEST(Crc32, KnownValues)
{
    const struct {
        std::string text;
        std::uint32_t crc;
    } cases[] = {
        {"", 0x00000000u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const auto& c : cases) {
        CCrc32Dynamic crc;
        EXPECT_EQ(crc.CalcString(c.text), c.crc) << c.text;
    }
}

TEST(Crc32, AnySplitOfTheStreamGivesTheReferenceValue)
{
    const auto data = test::SeededBytes(1000, 7);
    const std::uint32_t expected = ReferenceCrc(data);
    for (std::size_t cut : {0u, 1u, 7u, 8u, 9u, 500u, 999u, 1000u}) {
        CCrc32Dynamic crc;
        crc.InitStream();
        crc.CalcStream(std::span(data).first(cut));
        crc.CalcStream(std::span(data).subspan(cut));
        EXPECT_EQ(crc.GetCrcStream(), expected) << "cut at " << cut;
    }
}

// Both ways of computing (carry-less multiply where the CPU has it, tables)
// against the bitwise reference, for every length around the fast path's
// 64- and 16-byte steps and every alignment of a 16-byte load, fed whole and
// in two pieces.
TEST(Crc32, FastAndTablePathsMatchTheReferenceAtEveryLengthAndAlignment)
{
    const auto pool = test::SeededBytes(70000, 11);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 300; ++n)
        lengths.push_back(n);
    for (std::size_t n : {511u, 512u, 513u, 1023u, 4096u, 16383u, 16384u, 16400u, 65536u + 13u})
        lengths.push_back(n);

    for (bool fast : {true, false}) {
        const bool before = CCrc32Dynamic::AllowCarrylessMultiply(fast);
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (std::size_t n : lengths) {
                const std::vector<std::uint8_t> bytes(pool.begin() + static_cast<std::ptrdiff_t>(offset),
                                                      pool.begin() + static_cast<std::ptrdiff_t>(offset + n));
                const std::uint32_t expected = ReferenceCrc(bytes);
                const auto span = std::span(pool).subspan(offset, n);
                CCrc32Dynamic crc;
                crc.InitStream();
                crc.CalcStream(span);
                ASSERT_EQ(crc.GetCrcStream(), expected) << "fast " << fast << " offset " << offset << " length " << n;
                const std::size_t cut = (n * 7 + offset) % (n + 1);
                crc.InitStream();
                crc.CalcStream(span.first(cut));
                crc.CalcStream(span.subspan(cut));
                ASSERT_EQ(crc.GetCrcStream(), expected) << "fast " << fast << " offset " << offset << " length " << n
                                                        << " cut " << cut;
            }
        }
        CCrc32Dynamic::AllowCarrylessMultiply(before);
    }
}

TEST(Crc32, FileByNameByHandleAndMyFileAgree)
{
    test::TempFolder folder;
    const auto data = test::SeededBytes(300000, 3);  // several pieces of a read
    test::WriteBytes(folder / "f.bin", data);
    const std::uint32_t expected = ReferenceCrc(data);

    CCrc32Dynamic crc;
    EXPECT_EQ(crc.CalcFile(folder / "f.bin"), expected);

    MyFile file(folder / "f.bin", MyFile::OpenRead);
    EXPECT_EQ(file.CalcCrc(), expected);
    std::vector<std::uint8_t> first(4);
    ASSERT_EQ(file.Read(first), 4u);  // positioned at the start again
    EXPECT_EQ(first, std::vector<std::uint8_t>(data.begin(), data.begin() + 4));

    // By handle the computation starts at the current position.
    file.Seek(100, MyFile::SeekBegin);
    EXPECT_EQ(crc.CalcFile(file.GetHandle()), ReferenceCrc({data.begin() + 100, data.end()}));
}

TEST(Crc32, MissingFileByNameFails)
{
    CCrc32Dynamic crc;
    try {
        crc.CalcFile(std::string("/nonexistent/file"));
        FAIL() << "no error";
    } catch (const ErrorHandler& e) {
        EXPECT_EQ(e.GetErrCode(), errc::OpenFailed);
        EXPECT_EQ(e.GetErrString(), "Unable to open file!");
    }
}

TEST(HiResTimer, MeasuresOnlyBetweenStartAndStop)
{
    CHiResTimer timer;
    EXPECT_EQ(timer.GetTime(), 0.0f);
    timer.Start();
    EXPECT_EQ(timer.GetTime(), 0.0f);
    timer.Stop();
    EXPECT_GE(timer.GetTime(), 0.0f);
    timer.Reset();
    EXPECT_EQ(timer.GetTime(), 0.0f);
}

} // namespace
} // namespace tessarin
