#include "QtBatchUi.h"

#include "application/BatchRun.h"
#include "platform/Console.h"

#include "ProgressPopup.h"
#include "ShellServices.h"

#include <QApplication>
#include <QFile>

namespace tessarin {
namespace {

QString Decoded(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

} // namespace

QtBatchUi::QtBatchUi(ShellServices& shell, QWidget* mainWindow) : m_shell(shell), m_mainWindow(mainWindow) {}

QtBatchUi::~QtBatchUi()
{
    // A batch that left by an exception still gives the cursor back.
    for (; m_waitCursors > 0; --m_waitCursors) QApplication::restoreOverrideCursor();
}

void QtBatchUi::ShowMessage(const std::string& text, const std::string& title, BoxIcon icon)
{
    // Told to quit, nobody is there to close a box: the log keeps the report.
    if (platform::InterruptRequested()) return;
    ShellServices::Icon shown = ShellServices::Icon::Information;
    switch (icon) {
    case BoxIcon::Stop: shown = ShellServices::Icon::Stop; break;
    case BoxIcon::Exclamation: shown = ShellServices::Icon::Exclamation; break;
    case BoxIcon::Information: shown = ShellServices::Icon::Information; break;
    }
    m_shell.ShowMessage(m_mainWindow, shown, Decoded(title), Decoded(text));
}

void QtBatchUi::ShowStatusReport(const std::string& text, const std::vector<ErrorLine>& errorLines)
{
    // Told to quit, nobody is there to close a box: the log keeps the report.
    if (platform::InterruptRequested()) return;
    if (errorLines.empty()) {
        ShowMessage(text, StatusTitle, BoxIcon::Information);
        return;
    }
    std::string shown = text + errorLines.front().Shown() + "\r\n";
    if (const std::string hint = ErrorHint(errorLines); !hint.empty()) shown += hint + "\r\n";
    QString details;
    for (const ErrorLine& line : errorLines) details += Decoded(line.Shown()) + QLatin1Char('\n');
    m_shell.ShowDetailedMessage(m_mainWindow, ShellServices::Icon::Exclamation, Decoded(StatusTitle), Decoded(shown),
                                details);
}

void QtBatchUi::BeginWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_waitCursors;
}

void QtBatchUi::EndWaitCursor()
{
    if (m_waitCursors == 0) return;
    QApplication::restoreOverrideCursor();
    --m_waitCursors;
}

std::unique_ptr<ProgressDisplay> QtBatchUi::OpenProgress(const ProgressRequest& request)
{
    auto popup = std::make_unique<ProgressPopup>(m_mainWindow, m_shell,
                                                 QFile::decodeName(QByteArray::fromStdString(request.caption)), false);
    popup->BeginModal(QStringLiteral("Progress"), false);
    popup->LayoutControls(request.lines, request.width);
    if (request.centred) popup->CenterOverOwner();
    return popup;
}

} // namespace tessarin
