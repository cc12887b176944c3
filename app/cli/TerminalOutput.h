#pragma once
// The two output streams of tessarin and, on a terminal, the one progress
// line at the bottom of standard error. Every printed line first clears the
// progress line, so lines and progress never run into each other.
#include <ostream>
#include <string>

namespace tessarin {

class TerminalOutput {
public:
    // progressLine: err is a terminal that may show a progress line;
    // columns: its width.
    TerminalOutput(std::ostream& out, std::ostream& err, bool progressLine, int columns = 80);

    std::ostream& Out() { return m_out; }
    std::ostream& Err() { return m_err; }
    bool ShowsProgress() const { return m_progressLine; }

    // One line on out or err (a line end is added).
    void Line(std::ostream& stream, const std::string& text);
    // Every line of text on stream, each after prefix; CR LF ends become
    // plain line ends and a final line end adds no empty line.
    void Lines(std::ostream& stream, const std::string& prefix, const std::string& text);

    // Draws the progress line (cut to the width); nothing without a terminal.
    void Progress(const std::string& line);
    void ClearProgress();

private:
    // stream failed to take a line, for the reason error (an errno value).
    void Broken(std::ostream& stream, int error);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_progressLine;
    int m_columns;
    bool m_drawn = false;  // a progress line is on the screen
    bool m_outBroken = false, m_errBroken = false;
};

} // namespace tessarin
