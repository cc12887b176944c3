#include "selection/MyCString.h"

#include <cstdint>

namespace tessarin {

namespace {

// Folding through the C locale's upper case touches only a-z; bytes from
// 0x80 up must stay as they are whatever the signedness of char.
char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool MyCString::Check(char a, char b) const
{
    return m_sensitive ? a == b : AsciiUpper(a) == AsciiUpper(b);
}

bool MyCString::Match(std::string_view pattern, std::string_view name) const
{
    constexpr std::size_t None = std::string_view::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t afterStar = None;  // pattern position just after the last star met
    std::size_t starTook = 0;      // name position where that star's run ends

    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            afterStar = ++p;
            starTook = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Check(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (afterStar != None) {
            p = afterStar;
            n = ++starTook;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

void MyCString::Mangling()
{
    std::uint32_t sum = 0;
    std::uint32_t rest = 0;
    std::uint32_t previous = 0;
    std::uint64_t divisor = 0;
    for (const char c : m_text) {
        const std::uint32_t byte = static_cast<unsigned char>(c);
        const std::uint32_t product = byte * previous;
        divisor += 10;
        sum += product;
        rest += static_cast<std::uint32_t>(product % divisor);
        previous = byte;
    }
    m_text = std::to_string(static_cast<std::uint32_t>(sum * rest));
}

} // namespace tessarin
