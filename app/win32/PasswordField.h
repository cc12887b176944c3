#pragma once
// A password edit box of the main window under the byte rule of
// PasswordBytes: after every change its text is cut back to 32 bytes of
// UTF-8, whole characters, the ones just typed or pasted first, and a
// balloon beside the field says why.
#include "WideText.h"

#include <string>

namespace tessarin::win32 {

class PasswordField {
public:
    // Runs on EN_UPDATE: applies the rule and returns the field's text as
    // UTF-8.
    static std::string Update(HWND field);
    // The byte rule on a text with the cursor after cursor UTF-16 units;
    // true when something was cut.
    static bool Fit(std::wstring& text, std::size_t& cursor);
};

} // namespace tessarin::win32
