#include "UlmaroAppKit/Panel/PanelPlacement.h"

#include <algorithm>
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

PanelRect beside(const PanelRect& panel, const PanelRect& available, double width, double height) {
    const double right = available.right() - panel.right() - previewGap;
    const double left = panel.x - available.x - previewGap;
    const bool onRight = right >= left || right >= width;
    const double room = onRight ? right : left;
    const double w = std::min({width, std::max(room, minimumPreviewWidth), available.width});
    const double h = std::min(height, available.height);
    const double x = onRight ? std::min(panel.right() + previewGap, available.right() - w)
                             : std::max(panel.x - previewGap - w, available.x);
    const double y = std::clamp(panel.y, available.y, available.bottom() - h);
    return {x, y, w, h};
}

} // namespace ulmaro::PanelPlacement
