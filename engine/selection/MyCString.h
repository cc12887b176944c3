#pragma once
#include "EngineApi.h"

#include <string>
#include <string_view>

namespace tessarin {

// A byte string that can test itself against a wildcard pattern and can be
// replaced by a numeric digest of its bytes.
//
// Patterns: "?" matches one byte, "*" any run of bytes (the empty run too),
// every other byte matches itself; there is no escape. The whole name must
// match the whole pattern. Unless the string is case-sensitive, the ASCII
// letters a-z and A-Z compare equal; every other byte compares exactly.
class ENGINE_API MyCString {
public:
    MyCString() = default;
    MyCString(std::string text) : m_text(std::move(text)) {}
    MyCString(const char* text) : m_text(text ? text : "") {}
    virtual ~MyCString() = default;
    MyCString(const MyCString&) = default;
    MyCString& operator=(const MyCString&) = default;

    bool Search(const std::string& pattern) const { return Match(pattern, m_text); }
    bool Search(const char* pattern) const { return Match(pattern ? pattern : "", m_text); }

    void SetCaseSensitive(bool sensitive) { m_sensitive = sensitive; }
    bool GetCaseSensitive() const { return m_sensitive; }
    bool Check(char a, char b) const;

    // Replaces the text by the decimal digits of its digest. The digest
    // depends on the bytes only; it cannot be turned back into the text.
    void Mangling();

    const std::string& GetString() const { return m_text; }

protected:
    // Greedy matching with one remembered star: when a literal fails after
    // a star, the star takes one more byte and matching resumes there. Only
    // the last star ever needs to be retried, so the time is bounded by the
    // product of the two lengths however many stars the pattern holds.
    virtual bool Match(std::string_view pattern, std::string_view name) const;

private:
    std::string m_text;
    bool m_sensitive = false;
};

} // namespace tessarin
