// Splits the engine's messages into whole lines for a terminal.
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

std::vector<StatusLines::Line> StatusLines::Feed(const std::string& text, int level, bool append, bool error)
{
    std::vector<Line> lines;
    if (!append) {
        // A new status line: what the last one left unfinished stands as
        // it was.
        if (Line rest = Flush(); !rest.text.empty())
            lines.push_back(std::move(rest));
        m_level = level;
    }
    if (error)
        m_errorFrom = m_pending.size();
    m_pending += text;
    Split(lines);
    return lines;
}

void StatusLines::Split(std::vector<Line>& lines)
{
    std::size_t start = 0;
    for (std::size_t lf = m_pending.find('\n'); lf != std::string::npos; lf = m_pending.find('\n', start)) {
        const bool error = m_errorFrom != std::string::npos && m_errorFrom >= start && m_errorFrom <= lf;
        if (std::string line = Trimmed(m_pending.substr(start, lf - start)); !line.empty())
            lines.push_back({std::move(line), true, error, m_level});
        if (error)
            m_errorFrom = std::string::npos;
        start = lf + 1;
    }
    m_pending.erase(0, start);
    if (m_errorFrom != std::string::npos)
        m_errorFrom -= start;
}

StatusLines::Line StatusLines::Flush()
{
    Line rest{Trimmed(std::move(m_pending)), false, m_errorFrom != std::string::npos, m_level};
    m_pending.clear();
    m_errorFrom = std::string::npos;
    return rest;
}

} // namespace tessarin
