#pragma once
// What a batch needs from the desktop, for the program: boxes owned by the
// main window, the wait cursor and the progress popup.
#include "application/BatchUi.h"

#include <QPointer>
#include <QWidget>

namespace tessarin {

class ShellServices;

class QtBatchUi : public BatchUi {
public:
    // mainWindow owns the boxes and is disabled while the popup shows.
    QtBatchUi(ShellServices& shell, QWidget* mainWindow);
    ~QtBatchUi() override;
    QtBatchUi(const QtBatchUi&) = delete;
    QtBatchUi& operator=(const QtBatchUi&) = delete;

    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override;
    // The summary, the first error line (naming its file) and what else to
    // check, with the warning icon; every error line behind "Show
    // Details...". Without errors, the summary with the information icon.
    void ShowStatusReport(const std::string& text, const std::vector<ErrorLine>& errorLines) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<ProgressDisplay> OpenProgress(const ProgressRequest& request) override;

private:
    ShellServices& m_shell;
    QPointer<QWidget> m_mainWindow;
    int m_waitCursors = 0;
};

} // namespace tessarin
