#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <span>
#include <string_view>

namespace ulmaro {

/// The symbol images the application shows, by the names the views use ("magnifyingglass",
/// "star.fill"). Each name maps to one SVG of the Lucide icon set (ISC licence, bundled as a
/// Qt resource under ":/symbols/"), drawn in one colour at the asked size. GUI thread only.
namespace Symbols {

struct Entry {
    std::string_view name;
    /// The SVG's file name in the resource, without ".svg".
    std::string_view file;
    /// Drawn filled as well as stroked ("star.fill").
    bool filled = false;
};

/// Every name, in no particular order; each appears once.
std::span<const Entry> table();
const Entry* find(std::string_view name);

/// The symbol as a square of `size` logical pixels in `color` (its alpha applies), for a
/// device pixel ratio of `dpr`; cached. An unknown name gives a null pixmap and a warning.
QPixmap pixmap(std::string_view name, int size, const QColor& color, qreal dpr = 1.0);
/// The same as an icon for menus and buttons.
QIcon icon(std::string_view name, const QColor& color, int size = 16);

} // namespace Symbols
} // namespace ulmaro
