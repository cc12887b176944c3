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
    // The same box with the details behind a "Show Details..." button (a
    // task dialog's expanded part); where task dialogs are missing, the
    // details follow the text.
    static void ShowDetailed(HWND owner, const std::string& text, const std::string& title, BoxIcon icon,
                             const std::string& details);
};

} // namespace tessarin::win32
