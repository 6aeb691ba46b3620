#pragma once

#include "UlmaroAppKit/MenuBar/MenuBarViewModel.h"

#include <optional>
#include <vector>

namespace ulmaro {

/// The tray icon as geometry: an eight-spoked mark with a dot in its centre, turned in
/// four steps while working, with an exclamation badge when failed. Coordinates grow
/// upwards (y-up) in a box of `boxSize` units; a painter flips them. Only the shapes'
/// coverage matters: the view fills and strokes them in one colour.
struct MenuBarIconArt {
    using Glyph = MenuBarViewModel::IconState::Glyph;

    struct Point {
        double x = 0;
        double y = 0;
        friend bool operator==(const Point&, const Point&) = default;
    };
    struct Segment {
        Point from{};
        Point to{};
    };
    struct Rect {
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        double maxX() const { return x + width; }
        double maxY() const { return y + height; }
        friend bool operator==(const Rect&, const Rect&) = default;
    };
    /// An exclamation mark: a bar with rounded ends and, below it, a dot filling its square.
    struct Badge {
        Rect bar{};
        double cornerRadius = 0;
        Rect dot{};
    };
    struct Drawing {
        /// Stroked with round caps, up, left, down and right long, the diagonals short.
        std::vector<Segment> spokes{};
        double lineWidth = 0;
        Point dotCentre{};
        double dotDiameter = 0;
        std::optional<Badge> badge{};
    };

    static constexpr double boxSize = 18;
    static constexpr double lineWidth = 1.5;

    /// The phase reduced to 0…3 (any integer) as a quarter turn of π/4 in steps of π/16.
    static double rotation(Glyph glyph, int animationPhase);
    static Drawing drawing(Glyph glyph, int animationPhase, Rect rect = {0, 0, boxSize, boxSize});
};

} // namespace ulmaro
