// Progress with compression: each of the two steps reports half of the
// file's units, so that a batch's bar ends at its total, never past it.
#include "engine/processing/PipelineHarness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessarin {
namespace {

using namespace test;

std::vector<std::uint8_t> Text(std::size_t length)
{
    std::vector<std::uint8_t> bytes;
    const std::string words = "the quick brown fox jumps over the lazy dog 0123456789\n";
    for (std::size_t i = 0; bytes.size() < length; ++i)
        bytes.push_back(static_cast<std::uint8_t>(words[(i * 7 + i / 97) % words.size()]));
    return bytes;
}

TEST(PipelineProgress, AddsUpToTheFileInBothDirections)
{
    struct Case {
        const char* what;
        int family;
        bool text;
    };
    const Case cases[] = {
        {"gzip, text", MyObjectAes::FamilyGzip, true},     {"gzip, random", MyObjectAes::FamilyGzip, false},
        {"bzip2, text", MyObjectAes::FamilyBzip2, true},   {"bzip2, random", MyObjectAes::FamilyBzip2, false},
        {"none, text", MyObjectAes::FamilyNone, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const auto plain = c.text ? Text(2000000) : SeededBytes(2000000, 3);
        WriteBytes(folder / "a", plain);
        PipelineOptions o;
        o.family = c.family;
        o.changeExtension = true;
        Pipeline encrypt(o);
        ASSERT_TRUE(encrypt.Run(folder / "a").ok);
        const double units = static_cast<double>(plain.size()) / 1024.0;
        // The header may count a little; the whole must not pass the file.
        EXPECT_NEAR(encrypt.Sink().Progress(), units, 2.0) << encrypt.Sink().Progress() << " of " << units;

        const std::string container = folder / (c.family == MyObjectAes::FamilyGzip    ? "a.gz.aes"
                                                : c.family == MyObjectAes::FamilyBzip2 ? "a.bz.aes"
                                                                                         : "a.aes");
        const double containerUnits = static_cast<double>(ReadBytes(container).size()) / 1024.0;
        Pipeline decrypt(o);
        ASSERT_TRUE(decrypt.Run(container).ok);
        EXPECT_NEAR(decrypt.Sink().Progress(), containerUnits, 2.0) << decrypt.Sink().Progress() << " of " << containerUnits;
    }
}

} // namespace
} // namespace tessarin
