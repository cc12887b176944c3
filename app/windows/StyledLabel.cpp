#include "StyledLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

namespace tessarin {

namespace {
constexpr qsizetype kMaxFaceName = 31;
}

StyledLabel::StyledLabel(QWidget* parent) : StyledLabel(QString(), parent) {}

StyledLabel::StyledLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), m_textColour(palette().color(QPalette::WindowText)), m_font(font())
{
    setTextFormat(Qt::PlainText);
    ApplyStyle();
}

StyledLabel& StyledLabel::SetText(const QString& text)
{
    setText(text);
    return *this;
}

StyledLabel& StyledLabel::SetTextColor(QColor colour)
{
    m_textColour = colour;
    ApplyStyle();
    return *this;
}

StyledLabel& StyledLabel::SetBold(bool bold)
{
    m_font.setWeight(bold ? QFont::Bold : QFont::Normal);
    ApplyStyle();
    return *this;
}

StyledLabel& StyledLabel::SetUnderline(bool underline)
{
    m_font.setUnderline(underline);
    ApplyStyle();
    return *this;
}

StyledLabel& StyledLabel::SetFontSize(int height)
{
    if (height > 0) m_font.setPixelSize(height);
    ApplyStyle();
    return *this;
}

StyledLabel& StyledLabel::SetFontName(const QString& face)
{
    m_font.setFamily(face.left(kMaxFaceName));
    ApplyStyle();
    return *this;
}

StyledLabel& StyledLabel::SetLink(bool link)
{
    m_link = link;
    if (m_linkCursor && m_link) {
        setCursor(*m_linkCursor);
    } else {
        unsetCursor();
    }
    return *this;
}

StyledLabel& StyledLabel::SetLinkCursor(const QCursor& cursor)
{
    m_linkCursor = cursor;
    if (m_link) setCursor(cursor);
    return *this;
}

QUrl StyledLabel::UrlFor(const QString& text)
{
    return QUrl::fromUserInput(text.trimmed());
}

void StyledLabel::ApplyStyle()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, m_textColour);
    setPalette(colours);
    setFont(m_font);
    updateGeometry();
    repaint();
}

void StyledLabel::mousePressEvent(QMouseEvent* event)
{
    if (!m_link || event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    const QUrl url = UrlFor(text());
    // The desktop decides what the text opens; a failure is not reported.
    if (url.isValid()) QDesktopServices::openUrl(url);
    emit Opened(url);
    event->accept();
}

} // namespace tessarin
