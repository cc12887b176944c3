#pragma once
// The program icon, drawn from the SVG in the resources at every size a
// desktop asks for, so it stays sharp at any scaling.
#include <QIcon>
#include <QPixmap>

namespace tessarin {

class ProgramIcon {
public:
    static QIcon Icon();
    // The icon for a square of side logical pixels on a screen with the
    // given device pixel ratio.
    static QPixmap Pixmap(int side, qreal devicePixelRatio);
};

} // namespace tessarin
