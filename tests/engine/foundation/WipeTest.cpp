// Wiping overwrites a file's recorded length with 0x00, then 0xFF, then
// random bytes, as many rounds as asked for, each pass in pieces of at most
// 64 KiB. The write seam counts the pieces, and a write made to fail at the
// start of a pass shows the file as the previous pass left it.
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "faults/FaultInjection.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t Piece = 65536;

// Arms the write seam for the life of the object and disarms it after.
class WriteSeam {
public:
    explicit WriteSeam(int failingCall = 0) { FaultInjection::FailAt(FaultInjection::Operation::Write, failingCall, EIO); }
    ~WriteSeam() { FaultInjection::Reset(); }
    WriteSeam(const WriteSeam&) = delete;
    WriteSeam& operator=(const WriteSeam&) = delete;
    int Writes() const { return FaultInjection::CallsSince(FaultInjection::Operation::Write); }
};

int PiecesOf(std::size_t length)
{
    return static_cast<int>((length + Piece - 1) / Piece);
}

bool AllAre(const Bytes& bytes, std::uint8_t value)
{
    return std::all_of(bytes.begin(), bytes.end(), [value](std::uint8_t b) { return b == value; });
}

// The random pass: neither constant pattern, and not what was there before.
void ExpectRandomPass(const Bytes& after, const Bytes& original)
{
    ASSERT_EQ(after.size(), original.size());
    EXPECT_FALSE(AllAre(after, 0x00));
    EXPECT_FALSE(AllAre(after, 0xFF));
    EXPECT_NE(after, original);
}

const std::size_t Lengths[] = {100, 4096, Piece, Piece + 1, 150000};

TEST(Wipe, EachRoundWritesThreePassesOverTheWholeLength)
{
    for (const std::size_t length : Lengths) {
        for (const unsigned rounds : {0u, 1u, 2u, 3u}) {
            SCOPED_TRACE(std::to_string(length) + " bytes, " + std::to_string(rounds) + " rounds");
            test::TempFolder folder;
            const Bytes original = test::SeededBytes(length, 9);
            test::WriteBytes(folder / "w", original);
            int writes = 0;
            {
                MyFile file(folder / "w", MyFile::OpenWipe);
                const WriteSeam seam;
                file.Wipe(rounds);
                writes = seam.Writes();
            }
            EXPECT_EQ(writes, 3 * static_cast<int>(rounds) * PiecesOf(length));
            const Bytes after = test::ReadBytes(folder / "w");
            if (rounds == 0)
                EXPECT_EQ(after, original);
            else
                ExpectRandomPass(after, original);  // the last pass is the random one
        }
    }
}

TEST(Wipe, PassesRunZerosOnesRandomInEveryRound)
{
    constexpr unsigned Rounds = 3;
    for (const std::size_t length : Lengths) {
        const int pieces = PiecesOf(length);
        const Bytes original = test::SeededBytes(length, 10);
        // Failing the first write of pass k leaves passes 0..k-1 done.
        for (int pass = 0; pass < static_cast<int>(3 * Rounds); ++pass) {
            SCOPED_TRACE(std::to_string(length) + " bytes, failing pass " + std::to_string(pass));
            test::TempFolder folder;
            test::WriteBytes(folder / "w", original);
            {
                MyFile file(folder / "w", MyFile::OpenWipe);
                const WriteSeam seam(pass * pieces + 1);
                const ErrorHandler e = test::CatchError([&] { file.Wipe(Rounds); });
                EXPECT_EQ(e.GetErrCode(), EIO);
                EXPECT_EQ(e.GetErrString(), "Writing on wiping!");
                EXPECT_EQ(seam.Writes(), pass * pieces + 1);  // nothing after the failure
            }
            const Bytes after = test::ReadBytes(folder / "w");
            ASSERT_EQ(after.size(), length);
            if (pass == 0)
                EXPECT_EQ(after, original);
            else if ((pass - 1) % 3 == 0)
                EXPECT_TRUE(AllAre(after, 0x00));
            else if ((pass - 1) % 3 == 1)
                EXPECT_TRUE(AllAre(after, 0xFF));
            else
                ExpectRandomPass(after, original);
        }
    }
}

} // namespace
} // namespace tessarin
