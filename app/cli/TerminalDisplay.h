#pragma once
// The progress display of a batch run from a terminal. The engine's steps
// are printed line by line, errors on standard error and the rest on
// standard output; on a terminal a progress line below them shows the
// percentage, the amount done, the speed and the time left. Ctrl-C is the
// Cancel button: it is read from the interrupt flag of the process.
#include "StatusLines.h"
#include "TerminalOutput.h"
#include "application/ProgressDisplay.h"
#include "application/ProgressMeter.h"

#include <chrono>
#include <functional>
#include <string>

namespace tessarin {

class BatchUi;

class TerminalDisplay : public ProgressDisplay {
public:
    using Clock = std::chrono::steady_clock;

    // Boxes of the display go to ui, as those of the batch do. quiet: only
    // error lines are printed.
    TerminalDisplay(TerminalOutput& output, BatchUi& ui, bool quiet = false);
    ~TerminalDisplay() override;
    TerminalDisplay(const TerminalDisplay&) = delete;
    TerminalDisplay& operator=(const TerminalDisplay&) = delete;

    void SetRange(int lower, int upper, int step) override;
    void SetStatusText(const std::string& text) override;
    void ShowPiece(const StatusPiece& piece, const std::string& whole) override;
    int OffsetPos(int amount) override;
    void PumpEvents(bool escapeCancels) override;
    bool IsCancelled() const override;
    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override;
    void ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                             const std::string& details) override;
    void Dismiss() override;

    // The progress line: position and range in KiB, seconds since the run
    // began. Speed and time left appear once there is enough to measure.
    static std::string ProgressLine(int positionKiB, int upperKiB, double seconds);
    // A byte count the way people read it: "512 B", "1.5 KiB", "12.3 MiB".
    static std::string Size(double bytes);
    // Seconds as "m:ss" or "h:mm:ss".
    static std::string Duration(double seconds);

private:
    void Print(const std::string& line, bool error);
    void PrintLine(const StatusLines::Line& line);
    void Draw(bool force);

    TerminalOutput& m_output;
    BatchUi& m_ui;
    StatusLines m_lines;
    std::string m_cutShort;  // the last step that its rollback cut short
    ProgressMeter m_meter;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastDraw{};
    bool m_quiet;
    bool m_dismissed = false;
};

} // namespace tessarin
