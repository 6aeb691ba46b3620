#pragma once

#include <algorithm>

namespace ulmaro {

/// A point on the desktop in logical pixels, y growing downwards (the X11 and Qt way).
struct PanelPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const PanelPoint&, const PanelPoint&) = default;
};

/// A rectangle on the desktop: top-left corner and size, y growing downwards.
struct PanelRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    PanelPoint topLeft() const { return {x, y}; }
    /// Whether the point lies inside (the right and bottom edges are outside).
    bool contains(const PanelPoint& p) const {
        return p.x >= x && p.x < right() && p.y >= y && p.y < bottom();
    }
    friend bool operator==(const PanelRect&, const PanelRect&) = default;
};

} // namespace ulmaro
