// Edge snapping and the zoom sizes of the main window.
#include "application/WindowGeometry.h"

#include <cstdlib>

namespace tessarin {

std::optional<WindowGeometry::Point> WindowGeometry::Snap(const Rect& window, const Rect& area)
{
    const int areaRight = area.left + area.width;
    const int areaBottom = area.top + area.height;
    Point at{window.left, window.top};
    if (std::abs(window.left + window.width - areaRight) < SnapDistance) at.x = areaRight - window.width;
    if (std::abs(window.left - area.left) < SnapDistance) at.x = area.left;
    if (std::abs(window.top + window.height - areaBottom) < SnapDistance) at.y = areaBottom - window.height;
    if (std::abs(window.top - area.top) < SnapDistance) at.y = area.top;
    if (at == Point{window.left, window.top}) return std::nullopt;
    return at;
}

WindowGeometry::Size WindowGeometry::ZoomSize(bool zoomedIn, const Size& fullSize)
{
    return zoomedIn ? Size{ZoomedSide, ZoomedSide} : fullSize;
}

} // namespace tessarin
