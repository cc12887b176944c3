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

// "?" stands for any one byte: a dot, a leading dot, punctuation, a space,
// the wildcard characters themselves and bytes from 0x80 up are no
// exception. Punctuation in a pattern is a literal and matches only itself.
TEST(MyCString, QuestionMarkAndPunctuationAreOrdinaryBytes)
{
    const struct {
        std::string pattern, name;
        bool insensitive, sensitive;
    } cases[] = {
        {"?", ".", true, true},
        {"?", "-", true, true},
        {"?", "_", true, true},
        {"?", "[", true, true},
        {"?", "]", true, true},
        {"?", "\\", true, true},
        {"?", "*", true, true},
        {"?", "?", true, true},
        {"?", " ", true, true},
        {"?", "\x80", true, true},
        {"?", "\xe9", true, true},
        {"?", "\x01", true, true},
        {"?", "..", false, false},
        {"?profile", ".profile", true, true},   // a leading dot is not hidden from "?"
        {"?*", ".hidden", true, true},
        {"*?", ".", true, true},
        {"a?b", "a.b", true, true},
        {"a?b", "a-b", true, true},
        {"a?b", "a b", true, true},
        {"a?b", "a\xff" "b", true, true},
        {"a?b", "a..b", false, false},
        {"??", ".\xe9", true, true},
        {"??", "\xe9", false, false},         // one byte is not two, whatever it is
        {"???", "\xc3\xa9x", true, true},    // a two-byte character takes two "?"
        {"??.txt", "[].txt", true, true},
        {"file?.tar?gz", "file_.tar.gz", true, true},
        {"file?.tar?gz", "file.tar.gz", false, false},
        {"*.?", "archive.tar.Z", true, true},
        {"*.?", "archive.tar.", false, false},
        // Punctuation compares as itself and nothing else.
        {".", ".", true, true},
        {".", "x", false, false},
        {".*", "x.txt", false, false},
        {".*", ".txt", true, true},
        {"*.", "name.", true, true},
        {"*.", "name", false, false},
        {"a.b", "a.b", true, true},
        {"a.b", "aXb", false, false},
        {"a-b_c", "A-B_C", true, false},
        {"a-b_c", "a_b-c", false, false},
        {"[?]", "[x]", true, true},
        {"[?]", "x", false, false},
        {"]*[", "]abc[", true, true},
        {"\\?", "\\.", true, true},
        {"\\?", "?", false, false},
        {"a b", "A B", true, false},
        {"a b", "ab", false, false},
        {"* *", "two words", true, true},
        {"* *", "oneword", false, false},
        {"\x80?", "\x80\x80", true, true},
        {"?\xe9", ".\xe9", true, true},
        {"?\xe9", ".\xc9", false, false},
        // Upper case is the ASCII one only: DEL is not "_" in upper case.
        {"_", "\x7f", false, false},
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
    // Letters in both cases, the wildcards, punctuation that other matchers
    // treat specially, DEL beside "_" and bytes from 0x80 up, in patterns and
    // names alike.
    const char alphabet[] = {'a', 'A', 'b', 'z', 'Z', '?', '*', '.', '-', '_', '[',
                             ']', '\\', ' ', '\x7f', '\xe9', '\xc9', '\x80', '\xff'};
    std::uint32_t x = 12345;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    auto any = [&] { return alphabet[next() % sizeof alphabet]; };
    auto word = [&](std::size_t maxLength) {
        std::string s(next() % (maxLength + 1), ' ');
        for (auto& c : s)
            c = any();
        return s;
    };
    // A name made to fit the pattern, letters in either case, then now and
    // then spoiled by one changed byte: random names alone would seldom
    // match over an alphabet this wide.
    auto fitting = [&](const std::string& pattern) {
        std::string s;
        for (const char c : pattern) {
            if (c == '?')
                s += any();
            else if (c == '*')
                s += word(3);
            else if (next() % 2 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
                s += static_cast<char>(c ^ 0x20);
            else
                s += c;
        }
        if (!s.empty() && next() % 4 == 0)
            s[next() % s.size()] = any();
        return s;
    };
    int outcomes[2][2] = {};  // [sensitive][matched]
    for (int i = 0; i < 40000; ++i) {
        const std::string pattern = word(7);
        const std::string name = i % 2 ? word(8) : fitting(pattern);
        for (const bool sensitive : {false, true}) {
            const bool expected = Reference(pattern.c_str(), name.c_str(), sensitive);
            ++outcomes[sensitive][expected];
            ASSERT_EQ(Matches(pattern, name, sensitive), expected)
                << "'" << pattern << "' / '" << name << "' sensitive=" << sensitive;
        }
    }
    // The sample must exercise both outcomes under both rules.
    for (const bool sensitive : {false, true}) {
        EXPECT_GT(outcomes[sensitive][true], 5000) << sensitive;
        EXPECT_GT(outcomes[sensitive][false], 5000) << sensitive;
    }
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
