#include "ProgramIcon.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

// The resources are linked from a static library: they must be registered
// by hand, outside any namespace.
static void InitResources()
{
    Q_INIT_RESOURCE(aes);
}

namespace tessarin {

QPixmap ProgramIcon::Pixmap(int side, qreal devicePixelRatio)
{
    const int pixels = static_cast<int>(std::lround(side * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    static const bool registered = (InitResources(), true);
    (void)registered;
    QSvgRenderer renderer(QStringLiteral(":/tessarin.svg"));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon ProgramIcon::Icon()
{
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) icon.addPixmap(Pixmap(side, 1.0));
    return icon;
}

} // namespace tessarin
