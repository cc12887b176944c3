#pragma once
#include "EngineApi.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessarin {

// The exclusion list: white-space-separated wildcard patterns naming files
// that are encrypted without being compressed first ("*.zip *.rar ...").
// Only white space separates words: a comma or semicolon is part of a word.
class ENGINE_API MyFilter {
public:
    MyFilter() = default;

    void Parse(const std::string& list);
    void Parse(const char* list) { Parse(std::string(list ? list : "")); }

    // True when at least one word matches the whole (bare) file name.
    bool Search(const std::string& name) const;

    std::string GetPattern() const { return m_text; }
    const std::vector<std::string>& GetWords() const { return m_words; }
    void SetSensitive(bool sensitive) { m_sensitive = sensitive; }
    bool GetSensitive() const { return m_sensitive; }

    // Forgets the words; the text stays as it was.
    void Delete() { m_words.clear(); }

protected:
    // The next word at or after start: its bytes go to word and the position
    // just after it is returned; npos (and word untouched) when none is left.
    std::size_t GetNextWord(std::size_t start, std::string& word) const;

private:
    std::string m_text;
    std::vector<std::string> m_words;
    bool m_sensitive = false;
};

} // namespace tessarin
