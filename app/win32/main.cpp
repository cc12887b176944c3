// aes.exe: the window program on Windows. Its whole life is one modal run
// of the main drop window; the settings are loaded before the window
// exists and saved when it is destroyed. The command line is not read:
// files enter only by being dropped on the window.
#include "MainWindow.h"

#include <commctrl.h>
#include <ole2.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_TAB_CLASSES |
                                                        ICC_LINK_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    // OLE for the drop target; the program runs without drops through OLE
    // should it fail (WM_DROPFILES still arrives).
    const HRESULT ole = ::OleInitialize(nullptr);
    {
        tessarin::win32::MainWindow window;
        window.RunModal();
    }
    if (SUCCEEDED(ole)) ::OleUninitialize();
    return 0;
}
