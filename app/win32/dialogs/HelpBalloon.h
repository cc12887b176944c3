#pragma once
// The context-help pop-up: a text in black on pale yellow, in Arial 8, at
// the mouse position, closed as a tool-tip is (a click, a key, or another
// window taking the focus). One at a time: a new one replaces the last.
#include <windows.h>

#include <string>

namespace tessarin::win32 {

class HelpBalloon {
public:
    static constexpr const wchar_t* ClassName = L"TessarinHelpPopup";

    // Shows text with its top left corner at point (screen coordinates),
    // kept on the monitor's work area.
    static HWND Show(HWND owner, const std::wstring& text, POINT point);
    // The pop-up shown now, or null.
    static HWND Current();

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void Register();
};

} // namespace tessarin::win32
