#include "TerminalUi.h"

#include "application/BatchRun.h"

#include "TerminalDisplay.h"

#include <limits>

namespace tessarin {

TerminalUi::TerminalUi(TerminalOutput& output, CliOptions::Verbosity verbosity)
    : m_output(output), m_verbosity(verbosity)
{
}

void TerminalUi::ShowMessage(const std::string& text, const std::string&, BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Stop: m_output.Lines(m_output.Err(), "tessarin: error: ", text); break;
    case BoxIcon::Exclamation: m_output.Lines(m_output.Err(), "tessarin: warning: ", text); break;
    case BoxIcon::Information:
        if (m_verbosity != CliOptions::Verbosity::Quiet)
            m_output.Lines(m_output.Out(), "", text);
        break;
    }
}

void TerminalUi::ShowStatusReport(const std::string& text, const std::vector<ErrorLine>& errorLines)
{
    ShowMessage(text, StatusTitle, BoxIcon::Information);
    if (const std::string hint = ErrorHint(errorLines); !hint.empty())
        m_output.Lines(m_output.Err(), "tessarin: hint: ", hint);
}

void TerminalUi::ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                     const std::string& details)
{
    ShowMessage(text, title, icon);
    if (!details.empty())
        m_output.Lines(m_output.Err(), "tessarin: hint: ", details);
}

std::unique_ptr<ProgressDisplay> TerminalUi::OpenProgress(const ProgressRequest&)
{
    return std::make_unique<TerminalDisplay>(m_output, *this, m_verbosity == CliOptions::Verbosity::Quiet);
}

int TerminalUi::MessageThreshold() const
{
    // Quiet runs see the steps too, to name the file of an error; the
    // display prints the errors alone.
    return m_verbosity == CliOptions::Verbosity::Verbose ? std::numeric_limits<int>::max() : DefaultThreshold;
}

} // namespace tessarin
