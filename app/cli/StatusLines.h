#pragma once
// Turns the status texts of a progress display into printed lines. The sink
// hands a display the whole current text each time: the text of the last
// step, and that same text with more appended while the step goes on ("...
// [OK]\r\n", an error line). A terminal prints each line once, when it is
// complete; a step that is replaced before its line ended is printed as it
// stood.
#include <string>
#include <vector>

namespace tessarin {

class StatusLines {
public:
    struct Line {
        std::string text;  // without its line end
        bool finished;     // false: a step cut short by the next one
    };

    // The lines the new status text completes, without their line ends.
    std::vector<Line> Feed(const std::string& text);
    // The unfinished rest, as a line of its own (empty when there is none).
    std::string Flush();

private:
    void Split(std::vector<Line>& lines);

    std::string m_text;     // the last status text
    std::string m_pending;  // its part not yet printed
};

} // namespace tessarin
