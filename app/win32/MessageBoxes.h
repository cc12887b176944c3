#pragma once
// The program's message boxes in Win32: UTF-8 text and title, the icon of
// the kind of message, owned by a window of the program.
#include "application/ProgressDisplay.h"
#include "WideText.h"

#include <string>

namespace tessarin::win32 {

class MessageBoxes {
public:
    static void Show(HWND owner, const std::string& text, const std::string& title, BoxIcon icon);
};

} // namespace tessarin::win32
