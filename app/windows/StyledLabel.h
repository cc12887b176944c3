#pragma once
// A text label with its own colour and font that can act as a hyperlink:
// while it is a link, a left click opens the label's own text with the
// desktop (a web address opens the browser). Every setter redraws at once
// and returns the label, so calls chain.
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>

#include <optional>

namespace tessarin {

class StyledLabel : public QLabel {
    Q_OBJECT
public:
    explicit StyledLabel(QWidget* parent = nullptr);
    StyledLabel(const QString& text, QWidget* parent);

    StyledLabel& SetText(const QString& text);
    StyledLabel& SetTextColor(QColor colour);
    StyledLabel& SetBold(bool bold);
    StyledLabel& SetUnderline(bool underline);
    StyledLabel& SetFontSize(int height);        // character height in pixels
    StyledLabel& SetFontName(const QString& face);  // at most 31 characters
    StyledLabel& SetLink(bool link);
    StyledLabel& SetLinkCursor(const QCursor& cursor);

    bool IsLink() const { return m_link; }
    QColor TextColor() const { return m_textColour; }

    // The address that a click on text opens.
    static QUrl UrlFor(const QString& text);

signals:
    void Opened(const QUrl& url);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ApplyStyle();

    QColor m_textColour;
    QFont m_font;
    bool m_link = false;
    std::optional<QCursor> m_linkCursor;
};

} // namespace tessarin
