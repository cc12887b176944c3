// Progress with compression: each of the two steps reports half of the
// file's units, and the header counts at the rate of its data.
#include "engine/processing/PipelineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        const std::string container = folder / (c.family == MyObjectAes::FamilyGzip    ? "a.gz.aes"
                                                : c.family == MyObjectAes::FamilyBzip2 ? "a.bz.aes"
                                                                                         : "a.aes");
        const double bytes = static_cast<double>(ReadBytes(container).size());
        // The file counts once, and the header at the rate of its data: the
        // ratio of the sizes before and after compression, taken the way up.
        // Decryption counts the container, and decompression the compressed
        // file scaled by that ratio taken the way down.
        const double header = 1088, plainBytes = static_cast<double>(plain.size());
        const double r = c.family == MyObjectAes::FamilyNone ? 1.0 : plainBytes / (bytes - header);
        const double unit = c.family == MyObjectAes::FamilyNone ? 1024.0 : 2048.0;
        const double encrypted = plainBytes / 1024.0 + header * std::max(r, 1.0 / r) / unit;
        const double decrypted = c.family == MyObjectAes::FamilyNone
                                     ? bytes / 1024.0
                                     : bytes / 2048.0 + plainBytes * std::min(r, 1.0 / r) / 2048.0;
        EXPECT_NEAR(encrypt.Sink().Progress(), encrypted, 2.0 + encrypted / 100);
        Pipeline decrypt(o);
        ASSERT_TRUE(decrypt.Run(container).ok);
        EXPECT_NEAR(decrypt.Sink().Progress(), decrypted, 2.0 + decrypted / 100);
    }
}

} // namespace
} // namespace tessarin
