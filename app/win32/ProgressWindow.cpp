// The batch's progress window in Win32, laid out and kept alive as the Qt
// popup is, over the same ProgressMeter.
#include "ProgressWindow.h"

#include "application/CSettingsKey.h"
#include "MessageBoxes.h"

#include <commctrl.h>

#include <algorithm>

namespace tessarin::win32 {
namespace {

constexpr char kProfileSection[] = "Settings";
constexpr wchar_t kCancelLabel[] = L" Cancel ";

bool RegisterProgressClass()
{
    WNDCLASSEXW type{};
    type.cbSize = sizeof(type);
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), ProgressWindow::ClassName, &type)) return true;
    type.cbSize = sizeof(type);
    type.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    type.lpfnWndProc = ::DefWindowProcW;  // replaced per window at creation
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.hCursor = ::LoadCursorW(nullptr, IDC_APPSTARTING);
    type.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    type.lpszClassName = ProgressWindow::ClassName;
    return ::RegisterClassExW(&type) != 0;
}

} // namespace

ProgressWindow::ProgressWindow(HWND owner, const std::string& title, bool smooth) : m_owner(owner)
{
    Create(title, smooth);
}

ProgressWindow::~ProgressWindow()
{
    Dismiss();
    if (m_font) ::DeleteObject(m_font);
}

bool ProgressWindow::Create(const std::string& title, bool smooth)
{
    if (!RegisterProgressClass()) return false;
    m_title = title;
    if (!m_font) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            m_font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    }
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_window = ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, ClassName, WideText::FromUtf8(title).c_str(),
                                 WS_POPUP | WS_CAPTION, 0, 0, 390, 130, m_owner, nullptr, instance, nullptr);
    if (!m_window) return false;
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    auto child = [&](const wchar_t* type, const wchar_t* text, DWORD style, int id) {
        return ::CreateWindowExW(0, type, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, m_window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    m_text = child(L"STATIC", L"", SS_NOPREFIX, TextId);
    m_bar = child(PROGRESS_CLASSW, L"", smooth ? PBS_SMOOTH : 0, BarId);
    m_cancel = child(L"BUTTON", kCancelLabel, WS_TABSTOP | BS_PUSHBUTTON, CancelId);
    for (HWND control : {m_text, m_cancel})
        if (control && m_font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    LayoutControls(4, 390);
    if (m_persistent) RestorePosition();
    Show();
    return m_text && m_bar && m_cancel;
}

bool ProgressWindow::BeginModal(const std::string& title, bool smooth)
{
    if (!Alive() && !Create(title, smooth) && !Alive()) return false;
    if (m_owner) ::EnableWindow(m_owner, FALSE);
    ::EnableWindow(m_window, TRUE);
    m_modal = true;
    return true;
}

void ProgressWindow::LayoutControls(int lines, int width)
{
    if (!Alive()) return;
    const int ex = ::GetSystemMetrics(SM_CXEDGE);
    const int ey = ::GetSystemMetrics(SM_CYEDGE);
    HDC dc = ::GetDC(m_window);
    const HGDIOBJ previous = m_font ? ::SelectObject(dc, m_font) : nullptr;
    std::wstring sample = L"M";
    for (int i = 1; i < lines; ++i) sample += L"\nM";
    RECT text{Margin, Margin, width - 2 * Margin, 2 * Margin + 100};
    ::DrawTextW(dc, sample.c_str(), -1, &text, DT_CALCRECT | DT_NOCLIP | DT_NOPREFIX);
    text.right = text.left + width;
    SIZE label{};
    const std::wstring measured = std::wstring(kCancelLabel) + L"  ";
    ::GetTextExtentPoint32W(dc, measured.c_str(), static_cast<int>(measured.size()), &label);
    if (previous) ::SelectObject(dc, previous);
    ::ReleaseDC(m_window, dc);
    const int buttonWidth = label.cx + 4 * ex;
    const int buttonHeight = label.cy + 3 * ey;
    const RECT button{text.right - buttonWidth, text.bottom + Margin, text.right, text.bottom + Margin + buttonHeight};
    const RECT bar{text.left, button.top + ey, button.left - Margin, button.bottom - ey};
    // The window keeps its top-left corner; its frame is what it has
    // around the client area now.
    RECT outer{};
    RECT inner{};
    ::GetWindowRect(m_window, &outer);
    ::GetClientRect(m_window, &inner);
    const int clientWidth = (text.right - text.left) + 2 * Margin;
    const int clientHeight = (text.bottom - text.top) + buttonHeight + 3 * Margin;
    ::SetWindowPos(m_window, nullptr, 0, 0, clientWidth + (outer.right - outer.left) - inner.right,
                   clientHeight + (outer.bottom - outer.top) - inner.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto place = [](HWND control, const RECT& r) {
        if (control) ::MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    };
    place(m_bar, bar);
    place(m_cancel, button);
    place(m_text, text);
}

void ProgressWindow::CenterOverOwner()
{
    if (!Alive()) return;
    RECT self{};
    ::GetWindowRect(m_window, &self);
    RECT around{};
    if (!m_owner || !::GetWindowRect(m_owner, &around) || ::IsIconic(m_owner))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    const int w = self.right - self.left;
    const int h = self.bottom - self.top;
    const int x = around.left + ((around.right - around.left) - w) / 2;
    const int y = around.top + ((around.bottom - around.top) - h) / 2;
    ::SetWindowPos(m_window, nullptr, std::max(0, x), std::max(0, y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ProgressWindow::Show()
{
    if (!Alive() || ::IsWindowVisible(m_window)) return;
    ::ShowWindow(m_window, SW_SHOWNA);
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ProgressWindow::SetRange(int lower, int upper, int step)
{
    m_meter.SetRange(lower, upper, step);
    if (!Alive()) return;
    ::SendMessageW(m_bar, PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
    ::SendMessageW(m_bar, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void ProgressWindow::SetStatusText(const std::string& text)
{
    if (!Alive()) return;
    std::wstring shown = WideText::FromUtf8(text);
    if (shown.size() > MaxStatusText) shown.resize(MaxStatusText);  // the start names the file
    ::SetWindowTextW(m_text, shown.c_str());
}

int ProgressWindow::OffsetPos(int amount)
{
    if (!Alive()) return m_meter.GetPos();
    Show();
    if (m_meter.OffsetPos(amount)) ::SetWindowTextW(m_window, WideText::FromUtf8(m_meter.Caption(m_title)).c_str());
    ::SendMessageW(m_bar, PBM_SETPOS, static_cast<WPARAM>(m_meter.GetPos()), 0);
    return m_meter.GetPos();
}

void ProgressWindow::PumpEvents(bool escapeCancels)
{
    if (!Alive()) return;
    if (m_modal && ::GetFocus() != m_window && !::IsChild(m_window, ::GetFocus())) ::SetFocus(m_window);
    MSG message{};
    while (!m_cancelled && ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (escapeCancels && message.message == WM_CHAR && message.wParam == VK_ESCAPE) RequestCancel();
        if (m_modal && message.message == WM_LBUTTONUP && Alive()) {
            RECT cancel{};
            ::GetWindowRect(m_cancel, &cancel);
            POINT at{static_cast<short>(LOWORD(message.lParam)), static_cast<short>(HIWORD(message.lParam))};
            ::ClientToScreen(message.hwnd, &at);
            if (::PtInRect(&cancel, at)) RequestCancel();
        }
        // What was looked at may be gone by now (a window destroyed by the
        // cancel takes its messages along): never wait for it.
        if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) continue;
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(0);
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void ProgressWindow::RequestCancel()
{
    m_cancelled = true;
    if (!Alive()) return;
    ::ShowWindow(m_window, SW_HIDE);
    if (m_modal) ::SendMessageW(m_window, WM_CLOSE, 0, 0);
    if (m_owner && ::IsWindow(m_owner)) ::SetForegroundWindow(m_owner);
}

std::wstring ProgressWindow::Caption() const
{
    return Alive() ? WideText::OfWindow(m_window) : std::wstring();
}

void ProgressWindow::ShowMessage(const std::string& text, const std::string& title, BoxIcon icon)
{
    MessageBoxes::Show(Alive() ? m_window : m_owner, text, title, icon);
}

void ProgressWindow::Dismiss()
{
    if (Alive() && m_persistent) SavePosition();
    if (m_modal) {
        m_modal = false;
        if (m_owner && ::IsWindow(m_owner)) ::EnableWindow(m_owner, TRUE);
    }
    if (Alive()) ::DestroyWindow(m_window);
    m_window = nullptr;
}

void ProgressWindow::RestorePosition()
{
    std::int32_t x = -1;
    std::int32_t y = -1;
    CSettingsKey profile;
    if (profile.OpenKey(kProfileSection)) {
        profile.ReadInt("X", x);
        profile.ReadInt("Y", y);
        profile.CloseKey();
    }
    if (x < 0 || x >= ::GetSystemMetrics(SM_CXSCREEN) || y < 0 || y >= ::GetSystemMetrics(SM_CYSCREEN)) {
        CenterOverOwner();
        return;
    }
    ::SetWindowPos(m_window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ProgressWindow::SavePosition()
{
    RECT at{};
    ::GetWindowRect(m_window, &at);
    CSettingsKey profile;
    if (!profile.CreateKey(kProfileSection)) return;
    profile.WriteInt("X", at.left);
    profile.WriteInt("Y", at.top);
    profile.CloseKey();
}

LRESULT CALLBACK ProgressWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<ProgressWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == CancelId && self) {
            self->RequestCancel();
            return 0;
        }
        break;
    case WM_CLOSE:  // the close request of a cancel; nothing else closes it
        if (self && !self->m_cancelled) return 0;
        break;
    case WM_ERASEBKGND: {
        RECT box{};
        ::GetClipBox(reinterpret_cast<HDC>(wParam), &box);
        ::FillRect(reinterpret_cast<HDC>(wParam), &box, ::GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_NCDESTROY:
        if (self && self->m_window == window) self->m_window = nullptr;
        break;
    default: break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace tessarin::win32
