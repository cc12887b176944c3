#include "TerminalOutput.h"

#include "platform/Console.h"

#include <cerrno>
#include <csignal>
#include <cstring>

namespace tessarin {

TerminalOutput::TerminalOutput(std::ostream& out, std::ostream& err, bool progressLine, int columns)
    : m_out(out), m_err(err), m_progressLine(progressLine), m_columns(columns > 1 ? columns : 80)
{
}

void TerminalOutput::Line(std::ostream& stream, const std::string& text)
{
    ClearProgress();
    errno = 0;
    stream << text << '\n';
    stream.flush();
    if (!stream)
        Broken(stream, errno);
}

void TerminalOutput::Broken(std::ostream& stream, int error)
{
    // A stream that failed once stays failed: it is told only once.
    bool& broken = &stream == &m_out ? m_outBroken : m_errBroken;
    if (broken)
        return;
    broken = true;
    // A reader that went away, or a file-size limit, would have ended the
    // process with its signal. It stops the batch instead, as Ctrl-C does:
    // the file under way is rolled back, and the exit status is the
    // signal's, as a shell tells a program it ended.
    int signal = 0;
#if defined(SIGPIPE)
    if (error == EPIPE)
        signal = SIGPIPE;
#endif
#if defined(SIGXFSZ)
    if (error == EFBIG)
        signal = SIGXFSZ;
#endif
    if (signal != 0 && !platform::InterruptRequested())
        platform::RequestInterrupt(signal);
    // Told on the other stream while it still takes lines.
    std::ostream& other = &stream == &m_out ? m_err : m_out;
    if (&other == &stream || (&other == &m_out ? m_outBroken : m_errBroken))
        return;
    std::string text = std::string("tessarin: error: cannot write standard ") + (&stream == &m_err ? "error" : "output");
    if (error != 0)
        text += std::string(": ") + std::strerror(error);
    Line(other, text + (signal != 0 ? "; stopping" : ""));
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
