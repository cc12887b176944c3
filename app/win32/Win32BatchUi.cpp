// The batch's boxes, cursor and progress window in aes.exe.
#include "Win32BatchUi.h"

#include "application/BatchRun.h"
#include "MessageBoxes.h"
#include "ProgressWindow.h"

namespace tessarin::win32 {

void Win32BatchUi::ShowMessage(const std::string& text, const std::string& title, BoxIcon icon)
{
    MessageBoxes::Show(m_mainWindow, text, title, icon);
}

void Win32BatchUi::ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                       const std::string& details)
{
    MessageBoxes::ShowDetailed(m_mainWindow, text, title, icon, details);
}

void Win32BatchUi::BeginWaitCursor()
{
    const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    if (m_waitCursors++ == 0) m_previousCursor = previous;
}

void Win32BatchUi::EndWaitCursor()
{
    if (m_waitCursors == 0) return;
    if (--m_waitCursors == 0) ::SetCursor(m_previousCursor ? m_previousCursor : ::LoadCursorW(nullptr, IDC_ARROW));
}

std::unique_ptr<ProgressDisplay> Win32BatchUi::OpenProgress(const ProgressRequest& request)
{
    auto window = std::make_unique<ProgressWindow>(m_mainWindow, request.caption, false);
    window->BeginModal("Progress", false);
    window->LayoutControls(request.lines, request.width);
    if (request.centred) window->CenterOverOwner();
    return window;
}

} // namespace tessarin::win32
