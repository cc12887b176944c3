#pragma once
// The small pale yellow window that shows a control's help text at the mouse
// position and goes away as a tool-tip does: on a click, a key or when
// another window takes the focus.
#include <QLabel>

namespace tessarin {

class HelpPopup : public QLabel {
    Q_OBJECT
public:
    static constexpr QRgb Background = 0xFFFFD0;  // pale yellow
    static constexpr QRgb Foreground = 0x000000;

    explicit HelpPopup(QWidget* parent);

    // Shows text with its top-left corner at globalPos, kept on the screen.
    void ShowAt(const QString& text, QPoint globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tessarin
