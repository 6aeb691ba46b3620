#include "UlmaroAppKit/Panel/PanelPlacement.h"

#include <cmath>

namespace ulmaro::PanelPlacement {

PanelPoint centred(const PanelRect& available, double width, double height) {
    return {available.x + available.width / 2 - width / 2,
            available.y + std::min(centredTopGap, available.height - height)};
}

std::optional<PanelPoint> restoredOrCentred(std::optional<PanelPoint> savedTopLeft, double width,
                                            double height, std::span<const PanelRect> screens,
                                            std::optional<PanelRect> active) {
    if (savedTopLeft)
        for (const PanelRect& screen : screens)
            if (screen.contains(*savedTopLeft)) return savedTopLeft;
    if (!active && !screens.empty()) active = screens.front();
    if (!active) return std::nullopt;
    return centred(*active, width, height);
}

PanelRect keepingTopEdge(const PanelRect& current, const PanelRect& wanted) {
    PanelRect frame = wanted;
    if (current.height > 0 && std::abs(wanted.height - current.height) > 0.5 &&
        std::abs(wanted.bottom() - current.bottom()) < 0.5)
        frame.y = current.y;
    return frame;
}

} // namespace ulmaro::PanelPlacement
