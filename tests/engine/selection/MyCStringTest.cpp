#include "selection/MyCString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tessarin {
namespace {

bool Matches(const std::string& pattern, const std::string& name, bool sensitive)
{
    MyCString text(name);
    text.SetCaseSensitive(sensitive);
    return text.Search(pattern);
}

TEST(MyCString, MatchesWholeNamesUnderBothCaseRules)
{
    const struct {
        std::string pattern, name;
        bool insensitive, sensitive;  // expected result under each rule
    } cases[] = {
        {"", "", true, true},
        {"", "a", false, false},
        {"*", "", true, true},
        {"*", "anything.txt", true, true},
        {"**", "", true, true},
        {"?", "", false, false},
        {"?", "a", true, true},
        {"?", "ab", false, false},
        {"abc", "abcd", false, false},  // the whole name, not a part of it
        {"bcd", "abcd", false, false},
        {"abc*", "abc", true, true},
        {"abc***", "abc", true, true},
        {"abc?", "abc", false, false},
        {"*.zip", "FILE.ZIP", true, false},
        {"*zip", "FILE.ZIP", true, false},
        {"*a", "A", true, false},
        {"a*b*c", "aXbYbZc", true, true},
        {"a*b*c", "aXbYbZ", false, false},
        {"*?", "", false, false},
        {"*?", "x", true, true},
        {"*?", "xyz", true, true},
        {"?*?", "x", false, false},
        {"?*?", "xy", true, true},
        {"?*?", "xyz", true, true},
        {"[ab].txt", "[ab].txt", true, true},  // brackets are literals
        {"[ab].txt", "a.txt", false, false},
        {"[ab].txt", "b.txt", false, false},
        {"*.*", "README", false, false},  // the dot is a literal too
        {"a\\*", "a\\xyz", true, true},   // a backslash escapes nothing
        {"a\\*", "a*", false, false},
        {"a?c", "a*c", true, true},
        {"*b", "abcb", true, true},       // the star must give back what it took
        {"*aab", "aaab", true, true},
        {"*a*a*a", "aa", false, false},
        {"a*", "b", false, false},
        {"*.TXT", "notes.txt", true, false},
        {"{a}", "[A]", false, false},  // only letters fold: '{' is not '[' in upper case
        {"~", "^", false, false},
        {"`", "@", false, false},
        // Bytes from 0x80 up compare exactly, never folded.
        {"\xe9", "\xe9", true, true},
        {"\xe9", "\xc9", false, false},
        {"\xe0", "\xc0", false, false},
        {"caf\xe9", "CAF\xe9", true, false},
        {"*\xe9", "caf\xe9", true, true},
        {"?", "\xff", true, true},
        {"\xff*", "\xff\xfe", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Matches(c.pattern, c.name, false), c.insensitive) << "'" << c.pattern << "' / '" << c.name << "'";
        EXPECT_EQ(Matches(c.pattern, c.name, true), c.sensitive) << "'" << c.pattern << "' / '" << c.name << "' sensitive";
    }
}

// Straight from the definition, by recursion; exponential, so only for
// short inputs.
bool Reference(const char* p, const char* n, bool sensitive)
{
    auto fold = [sensitive](char c) { return !sensitive && c >= 'a' && c <= 'z' ? char(c - 32) : c; };
    if (*p == '\0')
        return *n == '\0';
    if (*p == '*')
        return Reference(p + 1, n, sensitive) || (*n != '\0' && Reference(p, n + 1, sensitive));
    if (*n == '\0')
        return false;
    if (*p == '?' || fold(*p) == fold(*n))
        return Reference(p + 1, n + 1, sensitive);
    return false;
}

TEST(MyCString, AgreesWithTheDefinitionOnSeededInputs)
{
    const char alphabet[] = {'a', 'A', 'b', '?', '*', '\xe9', '\xc9'};
    std::uint32_t x = 12345;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    auto word = [&](std::size_t maxLength) {
        std::string s(next() % (maxLength + 1), ' ');
        for (auto& c : s)
            c = alphabet[next() % sizeof alphabet];
        return s;
    };
    int matched = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string pattern = word(7);
        const std::string name = word(8);
        for (const bool sensitive : {false, true}) {
            const bool expected = Reference(pattern.c_str(), name.c_str(), sensitive);
            matched += expected;
            ASSERT_EQ(Matches(pattern, name, sensitive), expected)
                << "'" << pattern << "' / '" << name << "' sensitive=" << sensitive;
        }
    }
    EXPECT_GT(matched, 1000);  // the sample must exercise both outcomes
}

TEST(MyCString, ManyStarsAgainstALongNameFinish)
{
    // Twenty stars, each followed by a literal that occurs everywhere in the
    // name: plain backtracking would try some 10^26 splits before failing.
    std::string pattern;
    for (int i = 0; i < 19; ++i)
        pattern += "*a";
    pattern += "*b";
    const std::string allA(255, 'a');
    const std::string endsInB = std::string(254, 'a') + "b";
    for (const bool sensitive : {false, true}) {
        EXPECT_FALSE(Matches(pattern, allA, sensitive));
        EXPECT_TRUE(Matches(pattern, endsInB, sensitive));
        EXPECT_TRUE(Matches(std::string(20, '*') + "?", allA, sensitive));
        EXPECT_FALSE(Matches(pattern + "?", endsInB, sensitive));
    }
}

TEST(MyCString, ManglingGivesTheDigestOfTheBytes)
{
    const struct {
        std::string text, digits;
    } cases[] = {
        {"abc", "345744"},
        {"ab", "57036"},
        {"", "0"},
        {"x", "0"},
        {"\xff\xff", "325125"},  // bytes are unsigned
        {std::string(100, '\xff'), "180215607"},  // the product wraps at 2^32
        {"/home/user/Documents/report.txt", "704606979"},
    };
    for (const auto& c : cases) {
        MyCString text(c.text);
        text.Mangling();
        EXPECT_EQ(text.GetString(), c.digits) << "'" << c.text << "'";
    }
}

} // namespace
} // namespace tessarin
