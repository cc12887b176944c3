#pragma once
// The text of a message box made ready for the box: line ends of either
// kind become plain line breaks, and a word too wide for the box (a long
// file or folder name) gets places where it may break.
//
// A message box sizes itself for its text wrapped at spaces; a word wider
// than the box would run out of it and be cut off, since the box then
// computes its size for text wrapped anywhere but still draws it wrapped
// at spaces only. With no word wider than the narrowest width the box gives
// its text, both agree and every line is seen whole.
#include <QString>

class QFontMetrics;
class QMessageBox;

namespace tessarin {

// Marks a place where a line may break; it shows as nothing.
inline constexpr char16_t BreakOpportunity = u'\u200B';

// "\r\n" and a lone "\r" become "\n"; line ends at the very end go.
QString WithPlainLineEnds(const QString& text);

// Every run of characters without a space or line break that is wider than
// width gets break opportunities, so that no piece between two of them is
// wider: after a '/' (or another separator of names) where one is near,
// else where the width runs out, never inside a character. Runs that fit
// are left alone, so text without long words comes back unchanged.
QString WithBreakOpportunities(const QString& text, const QFontMetrics& metrics, int width);

// The narrowest width a message box gives its text once it wraps: the box
// is never narrower than half the screen (at most 500 pixels) then, less
// its icon and margins, measured on the box itself.
int NarrowestTextWidth(QMessageBox& box);

// Sets the box's text: plain text, plain line ends, long words breakable.
void SetFittingText(QMessageBox& box, const QString& text);

} // namespace tessarin
