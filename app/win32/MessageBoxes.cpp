// Message boxes of aes.exe.
#include "MessageBoxes.h"

namespace tessarin::win32 {

void MessageBoxes::Show(HWND owner, const std::string& text, const std::string& title, BoxIcon icon)
{
    UINT style = MB_OK;
    switch (icon) {
    case BoxIcon::Stop: style |= MB_ICONSTOP; break;
    case BoxIcon::Exclamation: style |= MB_ICONEXCLAMATION; break;
    case BoxIcon::Information: style |= MB_ICONINFORMATION; break;
    }
    if (!owner || !::IsWindow(owner)) style |= MB_TASKMODAL;
    ::MessageBoxW(owner, WideText::FromUtf8(text).c_str(), WideText::FromUtf8(title).c_str(), style);
}

} // namespace tessarin::win32
