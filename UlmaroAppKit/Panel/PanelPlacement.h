#pragma once

#include "UlmaroAppKit/Panel/PanelGeometry.h"

#include <optional>
#include <span>

namespace ulmaro {

/// Where the panel goes on the desktop. Screens are given by their available rectangles
/// (the desktop less panels and docks), y downwards.
namespace PanelPlacement {

/// The top edge sits this far below the top of the available area when centred.
inline constexpr double centredTopGap = 200;

/// Centred across `available`, its top `centredTopGap` below the area's top, or on the
/// area's bottom edge when the area is too short for that.
PanelPoint centred(const PanelRect& available, double width, double height);

/// The saved top-left when some screen's available area holds it (the header, by which the
/// panel is moved, is then on screen), else centred on `active` (the first screen when
/// there is no active one). None when there is no screen at all: the panel then stays
/// where it is.
std::optional<PanelPoint> restoredOrCentred(std::optional<PanelPoint> savedTopLeft, double width,
                                            double height, std::span<const PanelRect> screens,
                                            std::optional<PanelRect> active);

/// The frame to apply when `wanted` replaces `current`: a height change that leaves the
/// bottom edge where it was (a resize anchored the other way) keeps the top edge instead,
/// so the panel always grows and shrinks downwards. Anything that moves the panel, or
/// changes its height by half a pixel or less, is taken as it is.
PanelRect keepingTopEdge(const PanelRect& current, const PanelRect& wanted);

/// The size the preview asks for.
inline constexpr double previewWidth = 800;
inline constexpr double previewHeight = 600;

/// The preview's frame, at most `width` × `height`, beside `panel` on the side with more
/// room, top edges level, so the rows it previews stay in view. Where neither side has
/// `minimumPreviewWidth`, it takes that width at the screen's edge, over as little of the
/// panel as it can.
inline constexpr double previewGap = 12;
inline constexpr double minimumPreviewWidth = 320;
PanelRect beside(const PanelRect& panel, const PanelRect& available, double width, double height);

} // namespace PanelPlacement
} // namespace ulmaro
