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
    // The summary, the first error line (naming its file) and what else to
    // check, with the warning icon; without errors, the summary with the
    // information icon. Every error line is in the log.
    void ShowStatusReport(const std::string& text, const std::vector<std::string>& errorLines) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<ProgressDisplay> OpenProgress(const ProgressRequest& request) override;

private:
    HWND m_mainWindow;
    HCURSOR m_previousCursor = nullptr;
    int m_waitCursors = 0;
};

} // namespace tessarin::win32
