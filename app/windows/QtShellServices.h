#pragma once
// The desktop as Qt reaches it: QMessageBox, QFileDialog, QDesktopServices.
#include "ShellServices.h"

namespace tessarin {

class QtShellServices : public ShellServices {
public:
    void ShowMessage(QWidget* owner, Icon icon, const QString& title, const QString& text) override;
    void ShowDetailedMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                             const QString& details) override;
    QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& initial) override;
    void OpenLogFile(QWidget* owner, const QString& path) override;
};

} // namespace tessarin
