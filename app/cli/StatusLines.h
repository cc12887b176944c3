#pragma once
// Turns the engine's messages, as a progress display receives them, into
// printed lines. A message either starts a new status line or adds a piece
// to the current one ("[OK]\r\n", an error line); a terminal prints each line
// once, when it is complete, and a step that is replaced before its line
// ended is printed as it stood. A line is an error line when an error piece
// lands in it: that is known from the piece's level, never from its text.
#include <string>
#include <vector>

namespace tessarin {

class StatusLines {
public:
    struct Line {
        std::string text;  // without its line end
        bool finished;     // false: a step cut short by the next message
        bool error;        // an error piece lands in this line
        int level;         // of the message that started it
    };

    // The lines that one message completes. append: it adds to the current
    // line; error: it is an error piece.
    std::vector<Line> Feed(const std::string& text, int level, bool append, bool error);
    // The unfinished rest, as a line of its own (its text empty when there
    // is none).
    Line Flush();

private:
    void Split(std::vector<Line>& lines);

    std::string m_pending;  // the part of the status line not yet printed
    int m_level = 0;
    std::string::size_type m_errorFrom = std::string::npos;  // in m_pending
};

} // namespace tessarin
