#pragma once
// Where the main window goes when it is moved near a screen edge, and its
// size in the zoomed and the full form, apart from any window system so
// that every one of them places the window alike.
#include <optional>

namespace tessarin {

class WindowGeometry {
public:
    // The zoomed form: a square without caption, little more than the icon.
    static constexpr int ZoomedSide = 46;
    // A window edge closer than this to a screen edge (on either side of
    // it) is put onto that edge.
    static constexpr int SnapDistance = 16;

    struct Rect {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };
    struct Point {
        int x = 0;
        int y = 0;
        friend bool operator==(const Point&, const Point&) = default;
    };
    struct Size {
        int width = 0;
        int height = 0;
        friend bool operator==(const Size&, const Size&) = default;
    };

    // The window's new top-left corner when one of its edges is near an
    // edge of area, or none when it stays. The left and top edges are
    // tested second and win on an area smaller than the window.
    static std::optional<Point> Snap(const Rect& window, const Rect& area);

    // The size the window takes when its zoom state becomes zoomedIn.
    static Size ZoomSize(bool zoomedIn, const Size& fullSize);
};

} // namespace tessarin
