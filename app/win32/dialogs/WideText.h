#pragma once
// UTF-8 (what the program's tables and settings hold) to the UTF-16 that
// the wide Win32 calls take, and back.
#include <windows.h>

#include <string>
#include <string_view>

namespace tessarin::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A window's whole text.
std::wstring WindowText(HWND window);

} // namespace tessarin::win32
