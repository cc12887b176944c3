#include "selection/MyFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessarin {
namespace {

TEST(MyFilter, SplitsTheListAtWhiteSpaceOnly)
{
    const struct {
        std::string list;
        std::vector<std::string> words;
    } cases[] = {
        {"", {}},
        {"  \t\r\n\v\f", {}},
        {"  *.gz\t*.bz2\r\n", {"*.gz", "*.bz2"}},
        {"*.zip,*.rar", {"*.zip,*.rar"}},
        {"a;b  c", {"a;b", "c"}},
        {"\v*.x\f*.y", {"*.x", "*.y"}},
        {"\xa0*.x\x85", {"\xa0*.x\x85"}},  // bytes from 0x80 up belong to words
        {"*.gz *.gz", {"*.gz", "*.gz"}},
        {"*.zip *.rar *.gz *.bz *.bz2 *.ace *.aes *.cab",
         {"*.zip", "*.rar", "*.gz", "*.bz", "*.bz2", "*.ace", "*.aes", "*.cab"}},
    };
    for (const auto& c : cases) {
        MyFilter filter;
        filter.Parse(c.list);
        EXPECT_EQ(filter.GetWords(), c.words) << "'" << c.list << "'";
        EXPECT_EQ(filter.GetPattern(), c.list);
    }
}

TEST(MyFilter, SearchesBareNamesUnderTheCaseRule)
{
    const struct {
        std::string list, name;
        bool insensitive, sensitive;
    } cases[] = {
        {"", "a", false, false},
        {"   ", "", false, false},
        {"*.zip *.rar", "ARCHIVE.ZIP", true, false},
        {"*.zip *.rar", "archive.rar", true, true},
        {"*.zip *.rar", "archive.zip.txt", false, false},
        {"*.zip,*.rar", "a.zip,b.rar", true, true},
        {"*.zip,*.rar", "a.zip", false, false},
        {"*.zip,*.rar", "b.rar", false, false},
        {"setup.exe", "setup.exe", true, true},
        {"setup.exe", "SETUP.EXE", true, false},
        {"setup.exe", "my-setup.exe", false, false},
        {"setup.exe", "setup.exe.bak", false, false},
        {"\t*.gz\r\n*.bz2 ", "x.bz2", true, true},
    };
    for (const auto& c : cases) {
        MyFilter filter;
        filter.Parse(c.list.c_str());
        EXPECT_EQ(filter.Search(c.name), c.insensitive) << "'" << c.list << "' / '" << c.name << "'";
        filter.SetSensitive(true);
        EXPECT_EQ(filter.Search(c.name), c.sensitive) << "'" << c.list << "' / '" << c.name << "' sensitive";
    }
}

TEST(MyFilter, ParsingAgainReplacesTheWords)
{
    MyFilter filter;
    filter.Parse("*.zip *.rar");
    filter.Parse("*.gz");
    EXPECT_EQ(filter.GetPattern(), "*.gz");
    EXPECT_FALSE(filter.Search("a.zip"));
    EXPECT_TRUE(filter.Search("a.gz"));

    filter.Delete();  // the words go, the text stays
    EXPECT_FALSE(filter.Search("a.gz"));
    EXPECT_EQ(filter.GetPattern(), "*.gz");

    filter.Parse(static_cast<const char*>(nullptr));
    EXPECT_TRUE(filter.GetWords().empty());
}

} // namespace
} // namespace tessarin
