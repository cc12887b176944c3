#pragma once
// The "File Logging" page: the switch, the log file name with a chooser,
// and a button that opens the log. The name, the chooser and the viewer
// button are greyed while logging is off.
#include "SettingsPage.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessarin {

class ShellServices;
struct SettingsGreying;

class FileLoggingPage : public SettingsPage {
    Q_OBJECT
public:
    FileLoggingPage(ShellServices& shell, QWidget* parent);

    // The log file that "&Read Log File" opens: the one the page was shown
    // with, or the one chosen with "&..."; typed text counts after "&OK".
    const QString& LogFile() const { return m_logFile; }

protected:
    void LoadExtra(const AppSettings& settings) override;
    void ApplyExchangeRule() override;

private:
    static const SettingsGreying& Rule();
    void OnLoggingClicked(bool on);
    void OnBrowse();
    void OnReadLog();

    ShellServices& m_shell;
    QString m_logFile;
    QCheckBox* m_logging;
    QGroupBox* m_frame;
    QLabel* m_nameLabel;
    QLineEdit* m_name;
    QPushButton* m_browse;
    QPushButton* m_read;
};

} // namespace tessarin
