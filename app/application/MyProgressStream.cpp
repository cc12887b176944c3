#include "application/MyProgressStream.h"

#include "application/LogFile.h"
#include "faults/FaultInjection.h"
#include "foundation/ErrorHandler.h"

#include <cmath>
#include <limits>
#include <span>

namespace tessarin {

MyProgressStream::MyProgressStream(ProgressDisplay& display, MyFile* log, int threshold)
    : m_display(&display), m_log(log), m_threshold(threshold)
{
}

void MyProgressStream::DoShow(const std::string& text, int level)
{
    m_currentText = text;
    if (level <= LevelStep)
        m_stepText = text;
    Output(text, level, false);
}

void MyProgressStream::DoUpdate(const std::string& text, int level)
{
    m_currentText += text;
    if (level <= LevelStep)
        m_stepText += text;
    Output(text, level, true);
}

void MyProgressStream::DoFail(const std::string& line, int code, const std::string& reason)
{
    // The line as the user reads it names the step and its file first: a
    // step the error cut short (its rollback's lines between them), else
    // the line the error ends, such as a deletion's.
    const auto lastLine = [](std::string text) {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        if (const auto lastBreak = text.find_last_of("\r\n"); lastBreak != std::string::npos)
            text.erase(0, lastBreak + 1);
        return text;
    };
    const bool stepCutShort = !m_stepText.empty() && m_stepText.back() != '\n';
    std::string before = lastLine(stepCutShort ? m_stepText : m_currentText);
    m_currentText += line;
    m_stepText.clear();
    std::string error = line;
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r'))
        error.pop_back();
    m_errorLines.push_back({before.empty() ? error : before + " " + error, code, reason});
    Output(line, LevelError, true, reason);
    // The reason is a detail of its own in the log; the display has it with
    // the error.
    if (!reason.empty())
        Output(ReasonLine(reason), LevelDetail, false, {}, false);
}

void MyProgressStream::DoPreview(const std::string& text, int level)
{
    if (m_threshold >= level)
        m_display->SetStatusText(text);
}

bool MyProgressStream::IsBreakRequested()
{
    // A test may ask for the break at a chosen file, as it may on a worker.
    return m_display->IsCancelled() || FaultInjection::ShouldFail(FaultInjection::Operation::Break);
}

void MyProgressStream::AddProgress(float units)
{
    // Each amount rounded up: a fraction still moves the bar. Many small
    // reports so add up to more than the batch holds; the display stops
    // its bar and caption at the end of the range.
    m_display->OffsetPos(WholeUnits(units));
    m_display->PumpEvents(true);
}

int MyProgressStream::WholeUnits(float units)
{
    // Rounded up, so that a chunk smaller than a unit still moves the bar.
    // Amounts that are no number, negative, or past the range of int move
    // it by nothing or by as much as it can take.
    if (!(units > 0.0f))
        return 0;
    const double whole = std::ceil(static_cast<double>(units));
    if (whole >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(whole);
}

void MyProgressStream::Output(const std::string& text, int level, bool append, const std::string& reason,
                              bool display)
{
    if (display && m_threshold >= level)
        m_display->ShowPiece(StatusPiece{text, level, append, reason}, m_currentText);
    if (!m_log || !m_log->IsOpen())
        return;
    // The log's writes are none of the file at work: a fault a test aims
    // at that file's operations must not fall on them.
    static const std::string notAFile;
    const FaultInjection::AtWork logging(notAFile);
    try {
        const std::string lines = LogFile::ForLog(text);
        m_log->Write(std::span(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size()));
    } catch (const ErrorHandler& e) {
        // Once, then never again for this batch: the engine goes on and
        // its messages are still shown.
        m_log = nullptr;
        m_display->ShowDetailedMessage(ErrorText(e) + ". Logging on file is turned off!", "ERROR MESSAGE",
                                       BoxIcon::Exclamation, e.GetReason());
    }
}

} // namespace tessarin
