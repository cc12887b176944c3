#include "PasswordLimit.h"

#include <QLineEdit>
#include <QTextBoundaryFinder>
#include <QToolTip>

namespace tessarin {
namespace {

qsizetype Utf8Size(const QString& text)
{
    return text.toUtf8().size();
}

} // namespace

PasswordLimit::PasswordLimit(QLineEdit* field) : QValidator(field), m_field(field)
{
    field->setValidator(this);
}

QString PasswordLimit::Note()
{
    return QStringLiteral("At most %1 bytes: letters such as \u00FC count twice.").arg(MaxBytes);
}

QValidator::State PasswordLimit::validate(QString& input, int& pos) const
{
    if (Utf8Size(input) <= MaxBytes) return Acceptable;
    // What was just typed or pasted ends at the cursor: whole characters
    // go from there back, then from the end should the rest still not fit.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, input);
    characters.setPosition(pos);
    while (pos > 0 && Utf8Size(input) > MaxBytes) {
        const qsizetype previous = characters.toPreviousBoundary();
        if (previous < 0) break;
        input.remove(previous, pos - previous);
        pos = static_cast<int>(previous);
        characters = QTextBoundaryFinder(QTextBoundaryFinder::Grapheme, input);
        characters.setPosition(pos);
    }
    while (Utf8Size(input) > MaxBytes) {
        characters = QTextBoundaryFinder(QTextBoundaryFinder::Grapheme, input);
        characters.toEnd();
        input.truncate(characters.toPreviousBoundary());
    }
    pos = std::min(pos, static_cast<int>(input.size()));
    QToolTip::showText(m_field->mapToGlobal(QPoint(0, m_field->height())), Note(), m_field);
    emit Refused();
    return Acceptable;
}

} // namespace tessarin
