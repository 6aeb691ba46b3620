#include "UlmaroAppKit/MenuBar/MenuBarIconArt.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ulmaro {

double MenuBarIconArt::rotation(Glyph glyph, int animationPhase) {
    if (glyph != Glyph::working) return 0;
    const int phase = ((animationPhase % 4) + 4) % 4;
    return phase * std::numbers::pi / 16;
}

MenuBarIconArt::Drawing MenuBarIconArt::drawing(Glyph glyph, int animationPhase, Rect rect) {
    const Point centre{rect.x + rect.width / 2, rect.y + rect.height / 2};
    const double side = std::min(rect.width, rect.height);
    const double outer = 0.44 * side;
    const double inner = 0.175 * side;
    const double shortRadius = inner + (outer - inner) * 0.48;
    const double turn = rotation(glyph, animationPhase);

    Drawing drawing;
    drawing.lineWidth = lineWidth;
    for (int k = 0; k < 8; ++k) {
        const double angle = turn + std::numbers::pi / 2 + k * std::numbers::pi / 4;
        const double length = k % 2 == 0 ? outer : shortRadius;
        const double dx = std::cos(angle), dy = std::sin(angle);
        drawing.spokes.push_back({{centre.x + inner * dx, centre.y + inner * dy},
                                  {centre.x + length * dx, centre.y + length * dy}});
    }
    drawing.dotCentre = centre;
    drawing.dotDiameter = 0.165 * side;
    if (glyph == Glyph::failed)
        drawing.badge = Badge{.bar = {rect.maxX() - 4.6, rect.maxY() - 8.2, 1.6, 4.2},
                              .cornerRadius = 0.8,
                              .dot = {rect.maxX() - 4.6, rect.maxY() - 9.4, 1.6, 1.6}};
    return drawing;
}

} // namespace ulmaro
