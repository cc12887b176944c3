#pragma once
// The program keeps every text as UTF-8, as the engine and the settings do;
// the windows take UTF-16. These convert at the window boundary.
#include <string>
#include <string_view>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tessarin::win32 {

class WideText {
public:
    static std::wstring FromUtf8(std::string_view utf8);
    static std::string ToUtf8(std::wstring_view wide);
    // A window's text, whole.
    static std::wstring OfWindow(HWND window);
};

} // namespace tessarin::win32
