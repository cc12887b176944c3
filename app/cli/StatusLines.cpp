#include "StatusLines.h"

namespace tessarin {

namespace {

std::string Trimmed(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

} // namespace

std::vector<StatusLines::Line> StatusLines::Feed(const std::string& text)
{
    std::vector<Line> lines;
    if (text.size() >= m_text.size() && text.compare(0, m_text.size(), m_text) == 0) {
        m_pending += text.substr(m_text.size());
    } else {
        // A new step: what the last one left unfinished stands as it was.
        if (std::string rest = Flush(); !rest.empty())
            lines.push_back({std::move(rest), false});
        m_pending = text;
    }
    m_text = text;
    Split(lines);
    return lines;
}

void StatusLines::Split(std::vector<Line>& lines)
{
    std::size_t start = 0;
    for (std::size_t lf = m_pending.find('\n'); lf != std::string::npos; lf = m_pending.find('\n', start)) {
        if (std::string line = Trimmed(m_pending.substr(start, lf - start)); !line.empty())
            lines.push_back({std::move(line), true});
        start = lf + 1;
    }
    m_pending.erase(0, start);
}

std::string StatusLines::Flush()
{
    std::string rest = Trimmed(std::move(m_pending));
    m_pending.clear();
    return rest;
}

} // namespace tessarin
