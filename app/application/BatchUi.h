#pragma once
// What a batch needs from the program around it: message boxes owned by the
// main window, the wait cursor, and a progress display for the run of the
// list. The Qt window and the terminal each implement it, so the batch
// itself never knows which one it drives and runs in tests without a screen.
#include "application/ProgressDisplay.h"

#include <memory>
#include <string>
#include <vector>

namespace tessarin {

// How the batch wants its progress display laid out.
struct ProgressRequest {
    std::string caption = "Progress Status";
    int lines = 4;      // lines of status text
    int width = 300;    // width of the text area
    bool centred = true;  // centred over the main window
};

class BatchUi {
public:
    // Levels of the messages a display shows by default: errors and the
    // steps of each file; details reach the log only.
    static constexpr int DefaultThreshold = 3;

    virtual ~BatchUi() = default;

    // A message box owned by the main window; returns once the user has
    // seen it.
    virtual void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) = 0;

    // The same box with more behind a "Show Details..." part (the reason of
    // a failure, every error of a batch). Where there is no such part, the
    // details follow the text on lines of their own.
    virtual void ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                     const std::string& details);

    // The status report that ends a batch: its summary lines with the
    // information icon, and the error lines of its files (each naming its
    // file, in the order they came) as the box's details.
    virtual void ShowStatusReport(const std::string& text, const std::vector<ErrorLine>& errorLines);

    // The busy cursor, from after the password check to the end of the
    // batch. The batch pairs every Begin with one End.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Creates the batch's progress display, shown and already modal (the
    // main window takes no input until the display's Dismiss), laid out as
    // the request says. The batch then sets its range and status text, and
    // destroys it at the end. Never null.
    virtual std::unique_ptr<ProgressDisplay> OpenProgress(const ProgressRequest& request) = 0;

    // The highest message level the display shows.
    virtual int MessageThreshold() const { return DefaultThreshold; }
};

} // namespace tessarin
