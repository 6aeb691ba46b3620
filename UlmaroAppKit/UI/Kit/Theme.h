#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRectF>

class QPainter;
class QPainterPath;

namespace ulmaro {

/// The one table of fonts and colours that every view draws with. Sizes are logical pixels
/// (the described points). Colours come from the application's palette, so light and dark
/// follow the desktop; only yellow and orange are fixed hues, in a lighter and a darker
/// shade.
namespace Theme {

enum class Weight { light, regular, medium, semibold, bold };
/// `rounded` has no family of its own on Linux: it is the platform's family.
enum class Design { standard, rounded, monospaced };

/// The platform's family (the application font) at `pixels`; monospaced is the system's
/// fixed font.
QFont font(double pixels, Weight weight = Weight::regular, Design design = Design::standard);

/// The four levels of text, as the palette's text colour at 0.85, 0.5, 0.26 and 0.1.
enum class Level { primary, secondary, tertiary, quaternary };
QColor text(Level level, const QPalette& palette);
QColor text(Level level);

/// The palette's text colour at exactly `opacity`: fills drawn "in the primary colour at
/// opacity x" (chip capsules, key caps), not text.
QColor primaryTint(double opacity, const QPalette& palette);
QColor primaryTint(double opacity);

/// The palette's highlight.
QColor accent(double opacity = 1.0);
QColor yellow(double opacity = 1.0);
QColor orange(double opacity = 1.0);
QColor green(double opacity = 1.0);
QColor black(double opacity);
QColor white(double opacity);

/// Whether the palette's window is dark (its lightness below the middle).
bool isDark(const QPalette& palette);
bool isDark();

/// How a button looks: `standard` is the ordinary bordered button, `prominent` is filled
/// with the accent (the default action), `borderless` draws only its title or symbol.
enum class ButtonLook { standard, prominent, borderless };
/// Control sizes, as the described small, regular and large controls.
enum class ControlSize { small, regular, large };

struct ControlMetrics {
    int fontPixels;
    /// Height of a bordered button.
    int height;
    /// Space left and right of a bordered button's title.
    int padding;
    double cornerRadius;
};
ControlMetrics controlMetrics(ControlSize size);

/// A plain rounded rectangle (Qt has no continuous corners; the difference is a pixel).
QPainterPath roundedRect(const QRectF& rect, double radius);
/// Fills the rounded rectangle and, when `border` is visible, strokes a border of `width`
/// inside its edge.
void drawRoundedRect(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                     const QColor& border = Qt::transparent, double width = 1.0);

/// The panel's "regular material": the palette's window colour, slightly translucent.
QColor material();
/// The panel's drop shadow: black at 0.33 with a blur radius of 24, no offset.
inline constexpr double shadowOpacity = 0.33;
inline constexpr int shadowRadius = 24;

} // namespace Theme
} // namespace ulmaro
