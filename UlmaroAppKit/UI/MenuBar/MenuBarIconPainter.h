#pragma once

#include "UlmaroAppKit/MenuBar/MenuBarIconArt.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QRectF>

namespace ulmaro {

/// Draws `MenuBarIconArt` with a `QPainter`: the 18-unit, y-up box scaled onto the largest
/// square centred in the target, y flipped, in one colour (the tray's template colour).
namespace MenuBarIconPainter {

using Glyph = MenuBarIconArt::Glyph;

void paint(QPainter& painter, const QRectF& target, Glyph glyph, int animationPhase,
           const QColor& color);
/// A transparent square of `size` logical pixels at `dpr` device pixels per pixel.
QImage image(Glyph glyph, int animationPhase, int size, qreal dpr, const QColor& color);
/// An icon drawn afresh at whatever size and pixel ratio it is asked for; it lists the
/// tray's usual sizes, 16, 22, 24 and 32.
QIcon icon(Glyph glyph, int animationPhase, const QColor& color);

} // namespace MenuBarIconPainter
} // namespace ulmaro
