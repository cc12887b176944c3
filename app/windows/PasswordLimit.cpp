#include "PasswordLimit.h"

#include "application/PasswordBytes.h"

#include <QLineEdit>
#include <QTextBoundaryFinder>
#include <QToolTip>

#include <vector>

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
    return QString::fromUtf8(PasswordBytes::Note);
}

QValidator::State PasswordLimit::validate(QString& input, int& pos) const
{
    if (Utf8Size(input) <= MaxBytes) return Acceptable;
    // The rule counts bytes per character; a character here is what the
    // user sees as one (a grapheme), so none is ever cut in half.
    std::vector<qsizetype> starts;
    std::vector<std::size_t> sizes;
    std::size_t cursor = 0;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, input);
    for (qsizetype from = 0, to = characters.toNextBoundary(); to > 0; from = to, to = characters.toNextBoundary()) {
        starts.push_back(from);
        sizes.push_back(static_cast<std::size_t>(Utf8Size(input.mid(from, to - from))));
        if (to <= pos) cursor = sizes.size();
    }
    starts.push_back(input.size());
    const PasswordBytes::Cut cut = PasswordBytes::Fit(sizes, cursor, MaxBytes);
    const qsizetype keptBefore = starts[cut.keptBefore];
    const QString after = input.mid(starts[cursor], starts[cursor + cut.keptAfter] - starts[cursor]);
    input = input.left(keptBefore) + after;
    pos = static_cast<int>(keptBefore);
    QToolTip::showText(m_field->mapToGlobal(QPoint(0, m_field->height())), Note(), m_field);
    emit Refused();
    return Acceptable;
}

} // namespace tessarin
