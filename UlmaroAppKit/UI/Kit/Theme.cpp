#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace ulmaro::Theme {
namespace {

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QFont::Weight qtWeight(Weight weight) {
    switch (weight) {
    case Weight::light:
        return QFont::Light;
    case Weight::regular:
        return QFont::Normal;
    case Weight::medium:
        return QFont::Medium;
    case Weight::semibold:
        return QFont::DemiBold;
    case Weight::bold:
        return QFont::Bold;
    }
    return QFont::Normal;
}

// The shade of a fixed hue that reads on the palette's window.
QColor shade(bool dark, QColor light, QColor darkShade, double opacity) {
    return withOpacity(dark ? darkShade : light, opacity);
}

} // namespace

QFont font(double pixels, Weight weight, Design design) {
    QFont font = design == Design::monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                              : QApplication::font();
    font.setPixelSize(int(pixels + 0.5));
    font.setWeight(qtWeight(weight));
    font.setItalic(false);
    return font;
}

QColor text(Level level, const QPalette& palette) {
    static constexpr double opacities[] = {0.85, 0.5, 0.26, 0.1};
    return withOpacity(palette.color(QPalette::WindowText), opacities[int(level)]);
}

QColor text(Level level) {
    return text(level, QApplication::palette());
}

QColor primaryTint(double opacity, const QPalette& palette) {
    return withOpacity(palette.color(QPalette::WindowText), opacity);
}

QColor primaryTint(double opacity) {
    return primaryTint(opacity, QApplication::palette());
}

QColor accent(double opacity) {
    return withOpacity(QApplication::palette().color(QPalette::Highlight), opacity);
}

QColor yellow(double opacity) {
    return shade(isDark(), QColor(255, 204, 0), QColor(255, 214, 10), opacity);
}

QColor orange(double opacity) {
    return shade(isDark(), QColor(255, 149, 0), QColor(255, 159, 10), opacity);
}

QColor green(double opacity) {
    return shade(isDark(), QColor(52, 199, 89), QColor(48, 209, 88), opacity);
}

QColor black(double opacity) {
    return withOpacity(Qt::black, opacity);
}

QColor white(double opacity) {
    return withOpacity(Qt::white, opacity);
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

bool isDark() {
    return isDark(QApplication::palette());
}

QColor material() {
    return withOpacity(QApplication::palette().color(QPalette::Window), 0.94);
}

ControlMetrics controlMetrics(ControlSize size) {
    switch (size) {
    case ControlSize::small:
        return {11, 22, 8, 5};
    case ControlSize::regular:
        return {13, 26, 12, 6};
    case ControlSize::large:
        return {13, 32, 16, 7};
    }
    return {13, 26, 12, 6};
}

QPainterPath roundedRect(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void drawRoundedRect(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                     const QColor& border, double width) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedRect(rect, radius), fill);
    if (border.alpha() > 0 && width > 0) {
        // Centred on a rectangle inset by half the width, the stroke lies inside the edge.
        const double half = width / 2;
        painter.setPen(QPen(border, width));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(
            roundedRect(rect.adjusted(half, half, -half, -half), std::max(0.0, radius - half)));
    }
    painter.restore();
}

} // namespace ulmaro::Theme
