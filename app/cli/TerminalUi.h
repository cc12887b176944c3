#pragma once
// The batch's surroundings on a terminal: boxes become lines (errors and
// warnings on standard error, prefixed with the program's name; the status
// report on standard output), the wait cursor is nothing, and the progress
// display is a TerminalDisplay.
#include "CliOptions.h"
#include "TerminalOutput.h"
#include "application/BatchUi.h"

namespace tessarin {

class TerminalUi : public BatchUi {
public:
    TerminalUi(TerminalOutput& output, CliOptions::Verbosity verbosity);

    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override;
    // The details (a failure's reason) as hint lines on standard error.
    void ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                             const std::string& details) override;
    // The errors were printed as they came: the report adds only a hint.
    void ShowStatusReport(const std::string& text, const std::vector<ErrorLine>& errorLines) override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    std::unique_ptr<ProgressDisplay> OpenProgress(const ProgressRequest& request) override;
    int MessageThreshold() const override;

private:
    TerminalOutput& m_output;
    CliOptions::Verbosity m_verbosity;
};

} // namespace tessarin
