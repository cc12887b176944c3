#pragma once
// The program's sink: what the engine says is shown on a progress display
// (up to a level threshold) and copied, every piece exactly once and in
// order, to the batch's log file; progress moves the display's bar and
// keeps it alive; a cancel on the display becomes the engine's break.
#include "application/ProgressDisplay.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"

#include <string>
#include <vector>

namespace tessarin {

class MyProgressStream : public MyStream {
public:
    // The batch shows levels up to 3: errors and the steps of each file;
    // details reach the log only.
    static constexpr int BatchThreshold = 3;

    // Neither the display nor the log is owned; both must outlive the sink.
    // log may be null or a file that is not open: nothing is logged then.
    MyProgressStream(ProgressDisplay& display, MyFile* log, int threshold = BatchThreshold);

    void DoShow(const std::string& text, int level) override;
    void DoUpdate(const std::string& text, int level) override;
    bool IsBreakRequested() override;
    void AddProgress(float units) override;
    void DoFail(const std::string& line, int code, const std::string& reason) override;
    void DoPreview(const std::string& text, int level) override;

    // The last shown text with everything appended since.
    const std::string& GetCurrentText() const { return m_currentText; }
    // Every error the engine reported, each with the whole line it ended
    // (the step and its file, then the error).
    const std::vector<ErrorLine>& GetErrorLines() const { return m_errorLines; }
    // False once a log write failed, or when there is no open log.
    bool IsLogging() const { return m_log != nullptr && m_log->IsOpen(); }

    // The bar moves in whole units: a fraction counts as one.
    static int WholeUnits(float units);

private:
    void Output(const std::string& text, int level, bool append, const std::string& reason = {},
                bool display = true);

    std::string m_currentText;
    std::string m_stepText;  // the last step's line, as far as it came
    std::vector<ErrorLine> m_errorLines;
    ProgressDisplay* m_display;  // not owned
    MyFile* m_log;               // not owned; dropped after a failed write
    int m_threshold;
};

} // namespace tessarin
