#include "TerminalDisplay.h"

#include "application/BatchRun.h"
#include "application/BatchSummary.h"
#include "application/BatchUi.h"
#include "foundation/MyStream.h"
#include "platform/Console.h"

#include <algorithm>
#include <cmath>

namespace tessarin {

namespace {

constexpr auto RedrawInterval = std::chrono::milliseconds(100);
constexpr double MinimumSecondsForSpeed = 0.5;

std::string TwoDigits(long long value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

} // namespace

TerminalDisplay::TerminalDisplay(TerminalOutput& output, BatchUi& ui, bool quiet)
    : m_output(output), m_ui(ui), m_quiet(quiet)
{
}

TerminalDisplay::~TerminalDisplay()
{
    Dismiss();
}

std::string TerminalDisplay::Size(double bytes)
{
    if (bytes < 1024.0)
        return std::to_string(static_cast<long long>(bytes < 0 ? 0 : bytes)) + " B";
    static constexpr const char* Units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = bytes / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(Units)) {
        value /= 1024.0;
        ++unit;
    }
    return BatchSummary::Fixed(value, 1) + " " + Units[unit];
}

std::string TerminalDisplay::Duration(double seconds)
{
    const auto total = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long rest = total % 60;
    if (hours > 0)
        return std::to_string(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(rest);
    return std::to_string(minutes) + ":" + TwoDigits(rest);
}

std::string TerminalDisplay::ProgressLine(int positionKiB, int upperKiB, double seconds)
{
    const int done = std::max(positionKiB, 0);
    const int total = std::max(upperKiB, 0);
    // The bar's own percentage may pass 100 (a compressed container grows
    // back when decrypted); a line that reads "100%" at the end is clearer.
    const int percent = std::min(ProgressMeter::Percent(done, 0, total), 100);
    std::string line = (percent < 10 ? "  " : percent < 100 ? " " : "") + std::to_string(percent) + "%  " +
                       Size(done * 1024.0) + " of " + Size(total * 1024.0);
    if (seconds >= MinimumSecondsForSpeed && done > 0) {
        const double speed = done * 1024.0 / seconds;
        line += "  " + Size(speed) + "/s";
        const double left = std::max(0, total - done) * 1024.0 / speed;
        line += "  " + Duration(left) + " left";
    }
    return line;
}

void TerminalDisplay::SetRange(int lower, int upper, int step)
{
    m_meter.SetRange(lower, upper, step);
    m_start = Clock::now();
}

void TerminalDisplay::Print(const std::string& line, bool error)
{
    // Errors stand out on standard error, even when the steps are sent
    // elsewhere or not printed at all.
    if (m_quiet && !error)
        return;
    m_output.Line(error ? m_output.Err() : m_output.Out(), line);
}

void TerminalDisplay::SetStatusText(const std::string&)
{
    // Lines are printed as the engine's messages arrive (ShowPiece); a
    // status text that stands alone, the batch's first or what the engine
    // is at while its lines wait, is what the progress line says better.
}

void TerminalDisplay::ShowPiece(const StatusPiece& piece, const std::string&)
{
    if (m_dismissed)
        return;
    const bool error = piece.level == MyStream::LevelError;
    for (const StatusLines::Line& line : m_lines.Feed(piece.text, piece.level, piece.append, error))
        PrintLine(line);
    // The system's reason for an error, beside its line.
    if (error && !piece.reason.empty())
        m_output.Lines(m_output.Err(), "tessarin: hint: ", piece.reason);
    Draw(true);
}

void TerminalDisplay::PrintLine(const StatusLines::Line& line)
{
    // A step cut short is followed by its rollback and then its error: the
    // error line names the step, so that standard error alone tells which
    // file failed.
    if (!line.finished) {
        if (line.level == MyStream::LevelStep)
            m_cutShort = line.text;
        Print(line.text, line.error);
    } else if (line.error) {
        Print(m_cutShort.empty() ? line.text : m_cutShort + " " + line.text, true);
        m_cutShort.clear();
    } else {
        if (line.level == MyStream::LevelStep)
            m_cutShort.clear();
        Print(line.text, false);
    }
}

int TerminalDisplay::OffsetPos(int amount)
{
    m_meter.OffsetPos(amount);
    return m_meter.GetPos();
}

void TerminalDisplay::Draw(bool force)
{
    if (m_dismissed || !m_output.ShowsProgress())
        return;
    const Clock::time_point now = Clock::now();
    if (!force && now - m_lastDraw < RedrawInterval)
        return;
    m_lastDraw = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    m_output.Progress(ProgressLine(m_meter.GetPos(), m_meter.GetUpper(), seconds));
}

void TerminalDisplay::PumpEvents(bool)
{
    Draw(false);
}

bool TerminalDisplay::IsCancelled() const
{
    return platform::InterruptRequested();
}

void TerminalDisplay::ShowMessage(const std::string& text, const std::string& title, BoxIcon icon)
{
    m_ui.ShowMessage(text, title, icon);
    Draw(true);
}

void TerminalDisplay::ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                          const std::string& details)
{
    m_ui.ShowDetailedMessage(text, title, icon, details);
    Draw(true);
}

void TerminalDisplay::Dismiss()
{
    if (m_dismissed)
        return;
    if (const StatusLines::Line rest = m_lines.Flush(); !rest.text.empty())
        Print(rest.text, rest.error);
    m_output.ClearProgress();
    m_dismissed = true;
}

} // namespace tessarin
