// Message boxes of aes.exe.
#include "MessageBoxes.h"

#include <commctrl.h>

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

void MessageBoxes::ShowDetailed(HWND owner, const std::string& text, const std::string& title, BoxIcon icon,
                                const std::string& details)
{
    if (details.empty()) {
        Show(owner, text, title, icon);
        return;
    }
    const std::wstring content = WideText::FromUtf8(text);
    const std::wstring caption = WideText::FromUtf8(title);
    const std::wstring expanded = WideText::FromUtf8(details);
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = owner && ::IsWindow(owner) ? owner : nullptr;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_EXPAND_FOOTER_AREA;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = caption.c_str();
    config.pszMainIcon = icon == BoxIcon::Stop          ? TD_ERROR_ICON
                         : icon == BoxIcon::Exclamation ? TD_WARNING_ICON
                                                        : TD_INFORMATION_ICON;
    config.pszContent = content.c_str();
    config.pszExpandedInformation = expanded.c_str();
    config.pszCollapsedControlText = L"Show Details\u2026";
    config.pszExpandedControlText = L"Hide Details\u2026";
    if (FAILED(::TaskDialogIndirect(&config, nullptr, nullptr, nullptr)))
        Show(owner, text + "\r\n" + details, title, icon);
}

} // namespace tessarin::win32
