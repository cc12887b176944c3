#pragma once
// Context help of a window: in What's-This mode (the caption's "?" button
// where the window manager offers it, or Shift+F1) a click on a control
// shows its help text in a HelpPopup at the mouse position; F1 shows the
// help of the control under the mouse at once. A control without a help
// text shows nothing; the request counts as handled either way.
#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

namespace tessarin {

class HelpPopup;

class ContextHelp : public QObject {
    Q_OBJECT
public:
    // Watches window and every widget in it at the time of the call.
    explicit ContextHelp(QWidget* window);

    // Handles one help request on control at globalPos: shows the help text
    // of the nearest widget up from control that has one, or nothing when a
    // widget with a control id but no text comes first. Always handled.
    bool ShowHelp(QWidget* control, QPoint globalPos);

    // The pop-up when it is shown, otherwise null.
    HelpPopup* VisiblePopup() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QWidget* widget);

    QWidget* m_window;
    QPointer<HelpPopup> m_popup;
};

} // namespace tessarin
