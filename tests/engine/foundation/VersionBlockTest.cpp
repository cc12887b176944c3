#include "foundation/VersionBlock.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

std::string Text(std::span<const std::uint8_t> bytes)
{
    return {bytes.begin(), bytes.end()};
}

const VersionEntries Entries{{"FileVersion", "2.3.4"}, {"PrivateBuild", ""}, {"Comments", "a\\b \"c\" %d"}};

TEST(VersionBlock, QueriesByPath)
{
    const auto block = BuildVersionBlock(DefaultTranslation, Entries);
    struct Case {
        std::string path;
        bool found;
        std::string value;
    };
    const Case cases[] = {
        {"\\StringFileInfo\\040904b0\\FileVersion", true, "2.3.4"},
        {"\\StringFileInfo\\040904B0\\FILEVERSION", true, "2.3.4"},
        {"\\StringFileInfo\\040904b0\\PrivateBuild", true, ""},
        {"\\StringFileInfo\\040904b0\\Comments", true, "a\\b \"c\" %d"},
        {"\\StringFileInfo\\040704b0\\FileVersion", false, ""},   // another language
        {"\\StringFileInfo\\04b00409\\FileVersion", false, ""},   // halves swapped
        {"\\StringFileInfo\\040904b0\\FileVersionX", false, ""},
        {"\\StringFileInfo\\040904b0\\2.3.4", false, ""},         // a value is not a name
        {"\\StringFileInfo\\040904b0\\", false, ""},
        {"\\StringFileInfo\\040904b0", false, ""},
        {"\\Other\\040904b0\\FileVersion", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::span<const std::uint8_t> value;
        ASSERT_EQ(QueryVersionValue(block, c.path, value), c.found);
        if (c.found) {
            EXPECT_EQ(Text(value), c.value);
        }
    }
    std::span<const std::uint8_t> value;
    ASSERT_TRUE(QueryVersionValue(block, "\\VarFileInfo\\Translation", value));
    ASSERT_EQ(value.size(), 4u);
    EXPECT_EQ(value[0] | value[1] << 8 | value[2] << 16 | value[3] << 24, 0x04B00409);
    ASSERT_TRUE(QueryVersionValue(block, "\\", value));
    EXPECT_EQ(value.size(), block.size());
}

// Every cut of a block is refused at the root and never read past its end
// (the sanitizers watch the reads).
TEST(VersionBlock, TruncatedBlocksAreRefused)
{
    const auto block = BuildVersionBlock(DefaultTranslation, Entries);
    for (std::size_t n = 0; n < block.size(); ++n) {
        SCOPED_TRACE(n);
        const std::vector<std::uint8_t> cut(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
        std::span<const std::uint8_t> value;
        EXPECT_FALSE(QueryVersionValue(cut, "\\", value));
        EXPECT_FALSE(QueryVersionValue(cut, "\\StringFileInfo\\040904b0\\Comments", value));
    }
}

// A length that ends the table inside an entry: the names before it are
// found, the cut one and those after it are not.
TEST(VersionBlock, TableCutByItsLengthFindsOnlyWholeEntries)
{
    auto block = BuildVersionBlock(DefaultTranslation, Entries);
    const std::size_t cut = block.size() - 4;  // inside the value of "Comments"
    for (int i = 0; i < 4; ++i)
        block[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(cut >> (8 * i));
    std::span<const std::uint8_t> value;
    EXPECT_TRUE(QueryVersionValue(block, "\\StringFileInfo\\040904b0\\FileVersion", value));
    EXPECT_FALSE(QueryVersionValue(block, "\\StringFileInfo\\040904b0\\Comments", value));
}

TEST(VersionBlock, SizeAndReadAgree)
{
    for (const std::string module : {"engine.dll", "aes32.dll", "zlib.dll", "bzip2.dll"}) {
        SCOPED_TRACE(module);
        std::vector<std::uint8_t> block;
        const std::uint32_t size = VersionInfoSize(module);
        ASSERT_GT(size, 0u);
        ASSERT_TRUE(ReadVersionInfo(module, block));
        EXPECT_EQ(block.size(), size);
    }
    std::vector<std::uint8_t> block{1, 2, 3};
    EXPECT_EQ(VersionInfoSize("nothing.dll"), 0u);
    EXPECT_FALSE(ReadVersionInfo("nothing.dll", block));
    EXPECT_EQ(block.size(), 3u);
}

} // namespace
} // namespace tessarin
