// libFuzzer target: the exclusion filter against a reference that splits
// the list on white space and matches each word on its own.
//
// Input: a flags byte (bit 0: case-sensitive), then the list up to the last
// LF and the bare file name after it (no LF: all list, empty name).
#include "FuzzSupport.h"
#include "selection/MyFilter.h"

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
    const std::size_t lf = rest.rfind('\n');
    const std::string list = lf == std::string::npos ? rest : rest.substr(0, lf);
    const std::string name = lf == std::string::npos ? std::string() : rest.substr(lf + 1);

    const std::vector<std::string> words = ReferenceWords(list);
    bool expected = false;
    for (const std::string& word : words)
        expected = expected || ReferenceMatch(word, name, sensitive);

    MyFilter filter;
    filter.SetSensitive(sensitive);
    filter.Parse(list);
    Require(filter.GetPattern() == list, "Parse did not keep the list's text");
    Require(filter.GetWords() == words, "Parse split the list into other words than the reference");
    Require(filter.Search(name) == expected, "Search disagrees with matching the reference words");

    // Parsing again replaces the words rather than adding to them; the
    // C-string form ends the list at its first zero byte.
    filter.Parse(list.c_str());
    const std::vector<std::string> cWords = ReferenceWords(list.c_str());
    Require(filter.GetWords() == cWords, "Parse of a C string split it into other words than the reference");
    bool cExpected = false;
    for (const std::string& word : cWords)
        cExpected = cExpected || ReferenceMatch(word, name, sensitive);
    Require(filter.Search(name) == cExpected, "Search after a second Parse disagrees with the reference");

    filter.Delete();
    Require(!filter.Search(name) && filter.GetWords().empty(), "a filter without words still matches");
    Require(filter.GetPattern() == list.c_str(), "Delete changed the list's text");
    return 0;
}
