// libFuzzer target: the wildcard matcher against a reference matcher.
//
// Input: a flags byte (bit 0: case-sensitive), then the pattern up to the
// first LF and the name after it (the name may hold further LFs).
#include "FuzzSupport.h"
#include "selection/MyCString.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace tessarin;
using namespace tessarin::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool sensitive = (data[0] & 1) != 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t lf = rest.find('\n');
    const std::string pattern = rest.substr(0, lf);
    const std::string name = lf == std::string::npos ? std::string() : rest.substr(lf + 1);

    MyCString text(name);
    text.SetCaseSensitive(sensitive);
    Require(text.GetCaseSensitive() == sensitive, "the case sensitivity did not stick");
    Require(text.Search(pattern) == ReferenceMatch(pattern, name, sensitive),
            "Search disagrees with the reference matcher");
    // The C-string form ends the pattern at its first zero byte.
    Require(text.Search(pattern.c_str()) == ReferenceMatch(pattern.c_str(), name, sensitive),
            "Search of a C string disagrees with the reference matcher");
    Require(text.GetString() == name, "matching changed the text");

    // Byte comparison, on the bytes the pattern and the name hold at the
    // same places.
    for (std::size_t i = 0; i < pattern.size() && i < name.size() && i < 16; ++i) {
        if (pattern[i] == '*' || pattern[i] == '?')
            continue;
        Require(text.Check(pattern[i], name[i]) ==
                    ReferenceMatch(std::string(1, pattern[i]), std::string(1, name[i]), sensitive),
                "Check disagrees with the reference comparison");
    }
    return 0;
}
