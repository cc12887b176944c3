// The main drop window of aes.exe: its start-up, handlers and menu.
#include "MainWindow.h"

#include "application/BatchRun.h"
#include "application/MainMenu.h"
#include "application/WindowGeometry.h"
#include "OleDropTarget.h"
#include "PasswordField.h"
#include "resource.h"
#include "Win32BatchUi.h"
#if defined(TESSARIN_HAVE_DIALOGS)
#include "dialogs/Dialogs.h"
#endif

#include <shellapi.h>

namespace tessarin::win32 {
namespace {

RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) return monitor.rcWork;
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

} // namespace

MainWindow::MainWindow()
{
    m_settings.LoadSettings();  // before any window exists
}

MainWindow::~MainWindow()
{
    if (m_window && ::IsWindow(m_window)) ::DestroyWindow(m_window);
    if (m_icon) ::DestroyIcon(m_icon);
    if (m_smallIcon) ::DestroyIcon(m_smallIcon);
}

INT_PTR MainWindow::RunModal()
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, &DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

HWND MainWindow::CreateModeless()
{
    ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, &DialogProc,
                         reinterpret_cast<LPARAM>(this));
    return m_window;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<MainWindow*>(lParam)->m_window = window;
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: Initialise(); return TRUE;
    case WM_DROPFILES: {
        const auto drop = reinterpret_cast<HDROP>(wParam);
        std::vector<std::string> names = OleDropTarget::Names(drop);
        ::DragFinish(drop);
        RunBatch(names);
        return TRUE;
    }
    case RunDropMessage: {
        if (m_pendingDrops.empty()) return TRUE;
        const std::vector<std::string> names = std::move(m_pendingDrops.front());
        m_pendingDrops.erase(m_pendingDrops.begin());
        RunBatch(names);
        return TRUE;
    }
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return TRUE;
    case WM_LBUTTONDOWN: {
        // The system's own move loop drags the window, from anywhere, and
        // in the zoomed form too, which has no caption.
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(m_window, &at);
        ::PostMessageW(m_window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(at.x, at.y));
        return TRUE;
    }
    case WM_LBUTTONDBLCLK: ToggleZoom(); return TRUE;
    case WM_RBUTTONDOWN: ShowPopupMenu(); return TRUE;
    case WM_MOUSEMOVE:
    case WM_EXITSIZEMOVE: SnapToEdges(); return FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
        OpenAbout();
        return TRUE;
    case WM_HELP:
#if defined(TESSARIN_HAVE_DIALOGS)
        ShowContextHelp(m_window, reinterpret_cast<const HELPINFO*>(lParam));
#endif
        return TRUE;
    case WM_PAINT:
        if (!::IsIconic(m_window)) return FALSE;
        PaintIcon();
        return TRUE;
    case WM_DESTROY:
        SaveSettings();
        ::RevokeDragDrop(m_window);
        if (m_dropTarget) m_dropTarget->Release();
        m_dropTarget = nullptr;
        return FALSE;
    case WM_NCDESTROY: m_window = nullptr; return FALSE;
    default: return FALSE;
    }
}

void MainWindow::Initialise()
{
    wchar_t about[128] = {};
    if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 128) > 0) {
        if (HMENU system = ::GetSystemMenu(m_window, FALSE)) {
            ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    m_smallIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                                  ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));

    ::CheckRadioButton(m_window, IDC_ENCRYPTING, IDC_AUTOMODE,
                       IDC_ENCRYPTING + (m_settings.encrypt >= 0 && m_settings.encrypt <= 2 ? m_settings.encrypt : 0));
    for (int field : {IDC_PASSWORD, IDC_CONFIRMATION})
        ::SendDlgItemMessageW(m_window, field, EM_LIMITTEXT, 32, 0);

    RECT full{};
    ::GetWindowRect(m_window, &full);
    m_fullSize = {full.right - full.left, full.bottom - full.top};
    m_settings.zoomedIn = m_settings.zoomedIn == 0 ? 1 : 0;
    ToggleZoom();

    // The stored place, unless it is off every screen now.
    SettingsRect stored;
    RECT window{};
    ::GetWindowRect(m_window, &window);
    if (AppSettings::LoadWindowRect(stored)) {
        const RECT wanted{stored.left, stored.top, stored.left + (window.right - window.left),
                          stored.top + (window.bottom - window.top)};
        const RECT screen{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                          ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                          ::GetSystemMetrics(SM_YVIRTUALSCREEN) + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        RECT visible{};
        if (::IntersectRect(&visible, &wanted, &screen)) window = wanted;
    }
    ::SetWindowPos(m_window, m_settings.checkWinOnTop != 0 ? HWND_TOPMOST : HWND_NOTOPMOST, window.left, window.top,
                   0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    if (m_settings.checkMinimized != 0) ::ShowWindow(m_window, SW_MINIMIZE);

    // Both routes of a drop: some sources use only one of them.
    m_dropTarget = new OleDropTarget([this](std::vector<std::string> names) {
        m_pendingDrops.push_back(std::move(names));
        ::PostMessageW(m_window, RunDropMessage, 0, 0);
    });
    ::RegisterDragDrop(m_window, m_dropTarget);
    ::DragAcceptFiles(m_window, TRUE);
}

void MainWindow::OnCommand(int id, int notification, HWND control)
{
    switch (id) {
    case IDC_ENCRYPTING:
    case IDC_DECRYPTING:
    case IDC_AUTOMODE:
        if (notification == BN_CLICKED) m_settings.encrypt = id - IDC_ENCRYPTING;
        return;
    case IDC_PASSWORD:
        if (notification == EN_UPDATE) m_password = PasswordField::Update(control);
        return;
    case IDC_CONFIRMATION:
        if (notification == EN_UPDATE) m_confirmation = PasswordField::Update(control);
        return;
    case IDOK:
    case IDCANCEL: ::EndDialog(m_window, id); return;  // Enter and Escape close the program
    default: RunCommand(id); return;
    }
}

void MainWindow::RunCommand(int command)
{
    switch (command) {
    case MainMenu::OpenLogCommand: OpenLog(); break;
    case MainMenu::SettingsCommand: OpenSettings(); break;
    case MainMenu::ZoomCommand: ToggleZoom(); break;
    case MainMenu::MinimizeCommand: ::ShowWindow(m_window, SW_MINIMIZE); break;
    case MainMenu::AboutCommand: OpenAbout(); break;
    case MainMenu::ExitCommand: ::EndDialog(m_window, IDCANCEL); break;
    default: break;
    }
}

void MainWindow::ShowPopupMenu()
{
    HMENU menu = ::CreatePopupMenu();
    for (const MainMenu::Entry& entry : MainMenu::Entries()) {
        if (entry.text == nullptr)
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(entry.command), WideText::FromUtf8(entry.text).c_str());
    }
    POINT at{};
    ::GetCursorPos(&at);
    ::SetForegroundWindow(m_window);  // so that a click elsewhere closes the menu
    const int chosen = static_cast<int>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, m_window, nullptr));
    ::DestroyMenu(menu);
    if (chosen != 0) RunCommand(chosen);
}

void MainWindow::ToggleZoom()
{
    const bool zoomIn = m_settings.zoomedIn == 0;
    const WindowGeometry::Size size = WindowGeometry::ZoomSize(zoomIn, {m_fullSize.cx, m_fullSize.cy});
    LONG_PTR style = ::GetWindowLongPtrW(m_window, GWL_STYLE);
    style = zoomIn ? (style & ~static_cast<LONG_PTR>(WS_CAPTION)) : (style | WS_CAPTION);
    ::SetWindowLongPtrW(m_window, GWL_STYLE, style);
    ::SetWindowPos(m_window, nullptr, 0, 0, size.width, size.height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_settings.zoomedIn = zoomIn ? 1 : 0;
}

void MainWindow::SnapToEdges()
{
    if (!m_window || ::IsIconic(m_window)) return;
    RECT window{};
    ::GetWindowRect(m_window, &window);
    const RECT area = WorkAreaOf(m_window);
    const auto snapped = WindowGeometry::Snap(
        {window.left, window.top, window.right - window.left, window.bottom - window.top},
        {area.left, area.top, area.right - area.left, area.bottom - area.top});
    if (snapped)
        ::SetWindowPos(m_window, nullptr, snapped->x, snapped->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::RunBatch(const std::vector<std::string>& names)
{
    if (m_batchRunning || names.empty()) return;  // the window is disabled while one runs
    m_batchRunning = true;
    Win32BatchUi ui(m_window);
    tessarin::RunBatch(names, m_password, m_confirmation, m_settings, ui);
    m_batchRunning = false;
}

void MainWindow::OpenLog()
{
    // The editor on the configured name, whether the file exists or not;
    // quoted, so that a name with blanks reaches it whole.
    std::wstring command = L"notepad \"" + WideText::FromUtf8(SettingsTextBytes(m_settings.editLogFilename)) + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof(start);
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &start,
                         &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
}

void MainWindow::OpenSettings()
{
#if defined(TESSARIN_HAVE_DIALOGS)
    if (ShowSettingsDialog(m_window, m_settings)) ApplyOnTop();
#endif
}

void MainWindow::OpenAbout()
{
#if defined(TESSARIN_HAVE_DIALOGS)
    ShowAboutBox(m_window);
#endif
}

void MainWindow::ApplyOnTop()
{
    ::SetWindowPos(m_window, m_settings.checkWinOnTop != 0 ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainWindow::PaintIcon()
{
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(m_window, &paint);
    ::SendMessageW(m_window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    ::GetClientRect(m_window, &client);
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_icon);
    ::EndPaint(m_window, &paint);
}

void MainWindow::SaveSettings()
{
    RECT window{};
    ::GetWindowRect(m_window, &window);
    // A minimized window keeps its place in its placement (in work-area
    // coordinates); its rectangle would be the icon's.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (::IsIconic(m_window) && ::GetWindowPlacement(m_window, &placement)) {
        const RECT area = WorkAreaOf(m_window);
        window = placement.rcNormalPosition;
        ::OffsetRect(&window, area.left, area.top);
    }
    m_settings.SaveSettings({window.left, window.top, window.right, window.bottom});
}

} // namespace tessarin::win32
