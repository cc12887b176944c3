#include "TerminalOutput.h"

namespace tessarin {

TerminalOutput::TerminalOutput(std::ostream& out, std::ostream& err, bool progressLine, int columns)
    : m_out(out), m_err(err), m_progressLine(progressLine), m_columns(columns > 1 ? columns : 80)
{
}

void TerminalOutput::Line(std::ostream& stream, const std::string& text)
{
    ClearProgress();
    stream << text << '\n';
    stream.flush();
}

void TerminalOutput::Lines(std::ostream& stream, const std::string& prefix, const std::string& text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos)
            lf = text.size();
        std::string line = text.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Line(stream, prefix + line);
        start = lf + 1;
    }
}

void TerminalOutput::Progress(const std::string& line)
{
    if (!m_progressLine)
        return;
    // One column short of the width: writing the last column makes some
    // terminals wrap.
    const std::size_t width = static_cast<std::size_t>(m_columns - 1);
    m_out.flush();
    m_err << '\r' << (line.size() > width ? line.substr(0, width) : line) << "\x1b[K";
    m_err.flush();
    m_drawn = true;
}

void TerminalOutput::ClearProgress()
{
    if (!m_drawn)
        return;
    m_err << "\r\x1b[K";
    m_err.flush();
    m_drawn = false;
}

} // namespace tessarin
