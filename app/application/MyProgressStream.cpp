#include "application/MyProgressStream.h"

#include "application/LogFile.h"
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
    Output(text, level, false);
    m_currentText = text;
    if (level == LevelError)
        NoteError(text, false);
}

void MyProgressStream::DoUpdate(const std::string& text, int level)
{
    m_currentText += text;
    Output(text, level, true);
    if (level == LevelError)
        NoteError(text, true);
}

void MyProgressStream::NoteError(const std::string& text, bool append)
{
    // The line as the user reads it: an error appended to a step names the
    // step and its file first. Line breaks inside it (a rollback's) leave
    // only the last line.
    std::string line = append ? m_currentText : text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (const auto lastBreak = line.find_last_of("\r\n"); lastBreak != std::string::npos)
        line.erase(0, lastBreak + 1);
    m_errorLines.push_back(line);
}

bool MyProgressStream::IsBreakRequested()
{
    return m_display->IsCancelled();
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

void MyProgressStream::Output(const std::string& text, int level, bool append)
{
    if (m_threshold >= level)
        m_display->SetStatusText(append ? m_currentText : text);
    if (!m_log || !m_log->IsOpen())
        return;
    try {
        const std::string lines = LogFile::ForLog(text);
        m_log->Write(std::span(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size()));
    } catch (const ErrorHandler& e) {
        // Once, then never again for this batch: the engine goes on and
        // its messages are still shown.
        m_log = nullptr;
        m_display->ShowDetailedMessage("ERROR(" + std::to_string(e.GetErrCode()) + "): " + e.GetErrString() +
                                           ". Logging on file is turned off!",
                                       "ERROR MESSAGE", BoxIcon::Exclamation, e.GetReason());
    }
}

} // namespace tessarin
