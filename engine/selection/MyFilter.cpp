#include "selection/MyFilter.h"

#include "selection/MyCString.h"

namespace tessarin {

namespace {

// White space as the C locale defines it; bytes from 0x80 up belong to words.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::size_t MyFilter::GetNextWord(std::size_t start, std::string& word) const
{
    std::size_t begin = start;
    while (begin < m_text.size() && IsSpace(m_text[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < m_text.size() && !IsSpace(m_text[end]))
        ++end;
    if (end == begin)
        return std::string::npos;
    word = m_text.substr(begin, end - begin);
    return end;
}

void MyFilter::Parse(const std::string& list)
{
    Delete();
    m_text = list;
    std::string word;
    for (std::size_t at = GetNextWord(0, word); at != std::string::npos; at = GetNextWord(at, word))
        m_words.push_back(word);
}

bool MyFilter::Search(const std::string& name) const
{
    MyCString text(name);
    text.SetCaseSensitive(m_sensitive);
    for (const auto& word : m_words) {
        if (text.Search(word))
            return true;
    }
    return false;
}

} // namespace tessarin
