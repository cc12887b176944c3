#include "BoxText.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <vector>

namespace tessarin {
namespace {

// QMessageBox's own widths: once its text is wider than the first, it
// wraps the text and is at least that wide.
constexpr int kWrapWidth = 500;
// Advances are rounded to whole pixels, and a word is laid out as a whole:
// a little room against the difference.
constexpr int kRounding = 3;

bool IsSpace(QChar c)
{
    return c.isSpace() || c == QChar(BreakOpportunity);
}

// A part of a name reads best broken after one of these.
bool IsSeparator(QChar c)
{
    static const QString separators = QStringLiteral("._-,;:");
    return separators.contains(c);
}

bool IsPathSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// The places between whole characters (grapheme clusters) of word.
std::vector<qsizetype> CharacterEnds(const QString& word)
{
    std::vector<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, word);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) ends.push_back(at);
    return ends;
}

// part (no spaces, no path separator) with break opportunities so that no
// piece is wider than width.
QString BrokenPart(const QString& part, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(part) <= width) return part;
    const std::vector<qsizetype> ends = CharacterEnds(part);
    QString broken;
    qsizetype start = 0;
    while (start < part.size()) {
        // The most whole characters from start that fit, at least one (a
        // character wider than the box stays whole), and the end of the
        // last separator among them.
        qsizetype fits = start;
        qsizetype afterSeparator = start;
        for (const qsizetype end : ends) {
            if (end <= start) continue;
            if (fits > start && metrics.horizontalAdvance(part.mid(start, end - start)) > width) break;
            fits = end;
            if (IsSeparator(part.at(end - 1))) afterSeparator = end;
        }
        if (fits == part.size()) break;
        // After the separator when that keeps at least half of the line.
        const bool bySeparator = afterSeparator > start &&
                                 metrics.horizontalAdvance(part.mid(start, afterSeparator - start)) >= width / 2;
        const qsizetype at = bySeparator ? afterSeparator : fits;
        broken += part.mid(start, at - start);
        broken += QChar(BreakOpportunity);
        start = at;
    }
    broken += part.mid(start);
    return broken;
}

// word (no spaces) with break opportunities so that no piece is wider than
// width: a path may break after each of its slashes, a part of it that is
// still too wide where the width runs out.
QString BrokenWord(const QString& word, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(word) <= width) return word;
    QString broken;
    qsizetype start = 0;
    while (start < word.size()) {
        qsizetype end = start;
        while (end < word.size() && !IsPathSeparator(word.at(end))) ++end;
        if (end < word.size()) ++end;  // the slash stays with its part
        broken += BrokenPart(word.mid(start, end - start), metrics, width);
        if (end < word.size()) broken += QChar(BreakOpportunity);
        start = end;
    }
    return broken;
}

} // namespace

QString WithPlainLineEnds(const QString& text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (plain.endsWith(QLatin1Char('\n'))) plain.chop(1);
    return plain;
}

QString WithBreakOpportunities(const QString& text, const QFontMetrics& metrics, int width)
{
    QString result;
    result.reserve(text.size());
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && !IsSpace(text.at(end))) ++end;
        result += BrokenWord(text.mid(at, end - at), metrics, std::max(width, 1));
        for (at = end; at < text.size() && IsSpace(text.at(at)); ++at) result += text.at(at);
    }
    return result;
}

int NarrowestTextWidth(QMessageBox& box)
{
    const QScreen* screen = box.screen();
    const int wrapWidth = screen ? std::min(screen->availableGeometry().width() / 2, kWrapWidth) : kWrapWidth;
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label || !box.layout()) return wrapWidth / 2;
    // The box laid out at that width with no text: what its label gets.
    const QString text = box.text();
    box.setText(QString());
    box.ensurePolished();
    box.layout()->activate();
    box.layout()->setGeometry(QRect(0, 0, wrapWidth, wrapWidth));
    const int width = label->width();
    box.setText(text);
    return width;
}

void SetFittingText(QMessageBox& box, const QString& text)
{
    box.setTextFormat(Qt::PlainText);
    const int width = NarrowestTextWidth(box) - kRounding;
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QFontMetrics metrics(label ? label->font() : box.font());
    box.setText(WithBreakOpportunities(WithPlainLineEnds(text), metrics, width));
}

} // namespace tessarin
