#include "QtBatchUi.h"

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
    ShowDetailedMessage(text, title, icon, std::string());
}

void QtBatchUi::ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                    const std::string& details)
{
    // Told to quit, nobody is there to close a box: the log keeps the report.
    if (platform::InterruptRequested()) return;
    ShellServices::Icon shown = ShellServices::Icon::Information;
    switch (icon) {
    case BoxIcon::Stop: shown = ShellServices::Icon::Stop; break;
    case BoxIcon::Exclamation: shown = ShellServices::Icon::Exclamation; break;
    case BoxIcon::Information: shown = ShellServices::Icon::Information; break;
    }
    m_shell.ShowDetailedMessage(m_mainWindow, shown, Decoded(title), Decoded(text), Decoded(details));
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
