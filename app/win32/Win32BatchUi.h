#pragma once
// What a batch needs from the desktop in aes.exe: boxes owned by the main
// window, the wait cursor, and the progress window, modal over the main
// window while the list runs.
#include "application/BatchUi.h"
#include "WideText.h"

namespace tessarin::win32 {

class Win32BatchUi : public BatchUi {
public:
    explicit Win32BatchUi(HWND mainWindow) : m_mainWindow(mainWindow) {}

    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override;
    void ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                             const std::string& details) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<ProgressDisplay> OpenProgress(const ProgressRequest& request) override;

private:
    HWND m_mainWindow;
    HCURSOR m_previousCursor = nullptr;
    int m_waitCursors = 0;
};

} // namespace tessarin::win32
