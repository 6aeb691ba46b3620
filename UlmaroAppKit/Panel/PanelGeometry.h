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
    /// Whether the two share an area (touching edges do not count); empty ones share none.
    bool intersects(const PanelRect& other) const {
        return width > 0 && height > 0 && other.width > 0 && other.height > 0 &&
               std::max(x, other.x) < std::min(right(), other.right()) &&
               std::max(y, other.y) < std::min(bottom(), other.bottom());
    }
    friend bool operator==(const PanelRect&, const PanelRect&) = default;
};

} // namespace ulmaro
