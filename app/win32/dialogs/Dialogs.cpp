// The entry points of the dialogs that the main window opens.
#include "Dialogs.h"

#include "AboutDialog.h"
#include "HelpBalloon.h"
#include "SettingsSheet.h"

#include <string>

namespace tessarin::win32 {

bool ShowSettingsDialog(HWND owner, AppSettings& settings)
{
    SettingsSheet sheet(settings);
    if (!sheet.Run(owner)) return false;
    settings = sheet.Values();
    return true;
}

void ShowAboutBox(HWND owner)
{
    AboutDialog box;
    box.Run(owner);
}

bool ShowContextHelp(HWND owner, const HELPINFO* info)
{
    if (!info || info->iContextType != HELPINFO_WINDOW || info->iCtrlId <= 0) return true;
    // The string resources of the program, numbered by control id.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(info->iCtrlId),
                                   reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return true;
    HelpBalloon::Show(owner, std::wstring(text, static_cast<std::size_t>(length)), info->MousePos);
    return true;
}

} // namespace tessarin::win32
