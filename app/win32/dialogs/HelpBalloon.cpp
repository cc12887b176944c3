// The context-help pop-up window.
#include "HelpBalloon.h"

#include "WideText.h"

#include <algorithm>

#include <memory>
#include <type_traits>

namespace tessarin::win32 {
namespace {

constexpr COLORREF kBackground = RGB(255, 255, 208);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr int kMargin = 6;     // pixels around the text
constexpr int kMaxWidth = 360; // pixels before a line wraps

HWND g_current = nullptr;

// Forgets the pop-up before destroying it, so that the loss of the mouse
// capture during its destruction does not close it twice.
void Close(HWND window)
{
    if (g_current != window) return;
    g_current = nullptr;
    DestroyWindow(window);
}

struct FontCloser {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontCloser>;

// Arial at 8 points for the screen the pop-up is shown on.
FontHandle MakeFont(HDC screen)
{
    return FontHandle(CreateFontW(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                  FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, L"Arial"));
}

} // namespace

void HelpBalloon::Register()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_SAVEBITS | CS_DROPSHADOW;
        windowClass.lpfnWndProc = &Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = ClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

HWND HelpBalloon::Current()
{
    return g_current;
}

HWND HelpBalloon::Show(HWND owner, const std::wstring& text, POINT point)
{
    if (g_current) Close(g_current);
    Register();

    RECT bounds{0, 0, kMaxWidth, 0};
    const HDC screen = GetDC(nullptr);
    {
        const FontHandle font = MakeFont(screen);
        const HGDIOBJ old = SelectObject(screen, font.get());
        DrawTextW(screen, text.c_str(), -1, &bounds, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(screen, old);
    }
    ReleaseDC(nullptr, screen);
    const int width = bounds.right + 2 * kMargin + 2;
    const int height = bounds.bottom + 2 * kMargin + 2;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    const int x = std::max<int>(area.left, std::min<int>(point.x, area.right - width));
    const int y = std::max<int>(area.top, std::min<int>(point.y, area.bottom - height));

    g_current = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, ClassName, text.c_str(), WS_POPUP | WS_BORDER, x, y,
                                width, height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!g_current) return nullptr;
    ShowWindow(g_current, SW_SHOW);
    SetCapture(g_current);
    return g_current;
}

LRESULT CALLBACK HelpBalloon::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        const HBRUSH background = CreateSolidBrush(kBackground);
        FillRect(dc, &area, background);
        DeleteObject(background);
        const FontHandle font = MakeFont(dc);
        const HGDIOBJ old = SelectObject(dc, font.get());
        SetTextColor(dc, kText);
        SetBkMode(dc, TRANSPARENT);
        InflateRect(&area, -kMargin, -kMargin);
        const std::wstring text = WideText::OfWindow(window);
        DrawTextW(dc, text.c_str(), -1, &area, DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        EndPaint(window, &paint);
        return 0;
    }
    // Closed as a tool-tip is: by any click or key, or when it loses the
    // mouse to another window.
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CAPTURECHANGED:
    case WM_ACTIVATEAPP:
        if (message != WM_ACTIVATEAPP || wParam == FALSE) Close(window);
        return 0;
    case WM_DESTROY:
        if (g_current == window) g_current = nullptr;
        if (GetCapture() == window) ReleaseCapture();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace tessarin::win32
