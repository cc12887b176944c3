#include "HelpPopup.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace tessarin {
namespace {
constexpr int kWrapColumns = 64;
}

HelpPopup::HelpPopup(QWidget* parent) : QLabel(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("helpPopup"));
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setMargin(4);
    setAttribute(Qt::WA_DeleteOnClose, false);

    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor::fromRgb(Background));
    colours.setColor(QPalette::WindowText, QColor::fromRgb(Foreground));
    setPalette(colours);
    setAutoFillBackground(true);

    QFont helpFont(QStringLiteral("Arial"));
    helpFont.setPointSize(8);
    setFont(helpFont);
}

void HelpPopup::ShowAt(const QString& text, QPoint globalPos)
{
    // Long one-line texts wrap at a readable width, as help notes do.
    setText(text);
    setWordWrap(false);
    setMinimumWidth(0);
    setMaximumWidth(QWIDGETSIZE_MAX);
    adjustSize();
    const int widest = fontMetrics().averageCharWidth() * kWrapColumns;
    if (width() > widest) {
        setWordWrap(true);
        setFixedWidth(widest);
        adjustSize();
    }
    QPoint place = globalPos;
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect area = screen->availableGeometry();
        place.setX(std::max(area.left(), std::min(place.x(), area.right() + 1 - width())));
        place.setY(std::max(area.top(), std::min(place.y(), area.bottom() + 1 - height())));
    }
    move(place);
    show();
}

void HelpPopup::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    hide();
}

void HelpPopup::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    hide();
}

} // namespace tessarin
