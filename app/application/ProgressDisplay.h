#pragma once
// What the batch and its sink need from a progress display: a status text,
// a bar with the percentage in the caption, a way to keep the display alive
// and to learn that the user asked to stop, and a message box owned by the
// display. The Qt popup and the terminal each implement it; the batch and
// the sink never know which one they drive.
#include "foundation/MyStream.h"

#include <string>

namespace tessarin {

enum class BoxIcon {
    Stop,         // an error that ended something
    Exclamation,  // a warning: the batch goes on
    Information,  // a report
};

// One message of the engine as it arrives: a new status line (append
// false) or a piece added to it, with its level. An error line carries the
// reason the system gave, when there is one.
struct StatusPiece {
    const std::string& text;
    int level;
    bool append;
    const std::string& reason;
};

// A file's failure as the user reads it: the step and its file, then the
// error line (without its end), with the error's code and reason.
struct ErrorLine {
    std::string text;
    int code = 0;
    std::string reason;

    // The line, and the reason on a line of its own.
    std::string Shown() const { return reason.empty() ? text : text + "\r\n" + MyStream::ReasonText(reason); }
};

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;

    // Set up by the batch before the run: the bar's range in its units
    // (the batch uses KiB) and the step.
    virtual void SetRange(int lower, int upper, int step) = 0;

    // Replaces the status text; shown as it stands ("%" is no format).
    virtual void SetStatusText(const std::string& text) = 0;

    // A message of the engine whose level the display shows; whole is the
    // status line it makes. By default the whole line is the status text.
    virtual void ShowPiece(const StatusPiece& piece, const std::string& whole)
    {
        (void)piece;
        SetStatusText(whole);
    }

    // Moves the bar by amount units and refreshes the caption's percentage
    // when it changed (ProgressMeter holds the rule); returns the new position.
    virtual int OffsetPos(int amount) = 0;

    // Handles what the user did since the last call (repaint, Cancel, the
    // Escape key when escapeCancels). Does nothing once cancelled.
    virtual void PumpEvents(bool escapeCancels) = 0;

    // True once the user asked to stop; stays true.
    virtual bool IsCancelled() const = 0;

    // A message box owned by the display (on a terminal: a line on stderr).
    virtual void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) = 0;

    // The same box with details behind a "Show Details..." part; without
    // one, they follow the text on lines of their own.
    virtual void ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                     const std::string& details)
    {
        ShowMessage(details.empty() ? text : text + "\r\n" + details, title, icon);
    }

    // End of the batch: the display goes away and the main window takes
    // input again. Later calls do nothing.
    virtual void Dismiss() = 0;
};

} // namespace tessarin
