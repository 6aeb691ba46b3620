#pragma once

#include <array>
#include <string>

namespace ulmaro {

/// The application's mark, as numbers: a rounded tile with a violet gradient, eight white
/// rays round its centre (long and opaque on the axes, short and dimmer on the diagonals)
/// and a white dot. Every length follows from the side `size` of the square the mark
/// occupies; coordinates are in that square, y downwards. The view draws from these
/// numbers and `svg()` writes the same mark at rest, which is the application's icon.
class BrandMarkGeometry {
public:
    // Fractions: the inset of the size; the rest of the tile side.
    static constexpr double inset = 0.0586;
    static constexpr double corner = 0.2237;
    static constexpr double rayOuter = 0.362;
    static constexpr double rayInner = 0.135;
    static constexpr double rayStroke = 0.054;
    /// How far a short ray reaches from the inner end towards a long ray's outer end.
    static constexpr double shortRatio = 0.55;
    static constexpr double dotSize = 0.125;

    static constexpr int rayCount = 8;
    static constexpr double degreesPerStep = 11.25;
    static constexpr double oddStepDotScale = 1.14;
    static constexpr double shortRayOpacity = 0.55;

    /// sRGB, components out of 255: top-left, then bottom-right.
    struct Rgb {
        int red, green, blue;
    };
    static constexpr Rgb gradientStart{55, 48, 163};
    static constexpr Rgb gradientEnd{124, 58, 237};

    struct Point {
        double x = 0;
        double y = 0;
    };
    struct Ray {
        Point inner;
        Point outer;
        double opacity = 1;
    };

    explicit BrandMarkGeometry(double size) : size_(size) {}

    double size() const { return size_; }
    double margin() const { return size_ * inset; }
    double tileSide() const { return size_ * (1 - 2 * inset); }
    double cornerRadius() const { return corner * tileSide(); }
    double rayInnerRadius() const { return rayInner * tileSide(); }
    double longRayOuterRadius() const { return rayOuter * tileSide(); }
    double shortRayOuterRadius() const;
    double rayWidth() const { return rayStroke * tileSide(); }
    double dotDiameter() const { return dotSize * tileSide(); }

    /// Ray `k` (0 points up, then round anticlockwise by 45°) after `step` ticks, each
    /// turning every ray 11.25° clockwise; a fraction is a turn under way. Even rays are long.
    Ray ray(int k, double step = 0) const;
    std::array<Ray, rayCount> rays(double step = 0) const;

    /// Clockwise turn of the rays after `step` ticks.
    static double rotationDegrees(double step) { return step * degreesPerStep; }
    /// The dot is large on odd steps.
    static double dotScale(long long step) { return step % 2 != 0 ? oddStepDotScale : 1.0; }

    /// The mark at rest as a standalone SVG document of `size` × `size` units.
    std::string svg() const;

private:
    double size_;
};

} // namespace ulmaro
