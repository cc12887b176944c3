#pragma once
// Opens one window of the program in a fixed state so that a script can
// take its picture (tools/screenshots.sh). Chosen by the environment
// variable TESSARIN_SCREENSHOT, never by the command line, which the
// program does not read: "main", "zoomed", "settings" or "settings:N" (the
// page N shown), "about", "progress", "help", or "status:PATH" (the status
// report of a real batch that fails on PATH, a plain file forced to
// decryption).
#include <QObject>

#include <memory>

namespace tessarin {

class MainDropWindow;
class ProgressPopup;
class ShellServices;

class ScreenshotScene : public QObject {
    Q_OBJECT
public:
    // Does nothing when the variable is not set.
    static void Arrange(MainDropWindow& window, ShellServices& shell);

    ~ScreenshotScene() override;

private:
    ScreenshotScene(MainDropWindow& window, ShellServices& shell);
    void Open(const QString& scene);

    MainDropWindow& m_window;
    ShellServices& m_shell;
    std::unique_ptr<ProgressPopup> m_popup;
};

} // namespace tessarin
