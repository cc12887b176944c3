#pragma once
// What the windows ask of the desktop: message boxes, the file chooser and
// opening a file in the user's viewer. The windows hold it by reference, so
// tests replace it with a fake that records instead of blocking.
#include <QString>

class QWidget;

namespace tessarin {

class ShellServices {
public:
    enum class Icon { Stop, Exclamation, Information };

    virtual ~ShellServices() = default;

    // A modal box with one OK button, owned by owner (may be null).
    virtual void ShowMessage(QWidget* owner, Icon icon, const QString& title, const QString& text) = 0;

    // The same box with a "Show Details..." part that holds details, for
    // more than its text can show: every error of a batch, say. Without
    // details it is the plain box.
    virtual void ShowDetailedMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                                     const QString& details) = 0;

    // A save-file chooser that starts at initial; empty when cancelled.
    virtual QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& initial) = 0;

    // Opens the log file in the user's text editor or viewer; a log that
    // does not exist yet opens in the text editor as a new page (and is
    // said to be missing only where no editor is known). A viewer that
    // fails is not reported.
    virtual void OpenLogFile(QWidget* owner, const QString& path) = 0;
};

} // namespace tessarin
