#include "UlmaroAppKit/UI/Onboarding/KeyCap.h"

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace ulmaro {
namespace {

void strokeInside(QPainter& p, const QRectF& rect, double radius, const QColor& colour) {
    // A 1-pixel line drawn half a pixel in, so all of it lies inside the shape.
    const QRectF line = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(colour, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(line, radius - 0.5, radius - 0.5);
}

} // namespace

KeyCap::KeyCap(QString symbol, bool wide, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), wide_(wide) {
    setFont(Theme::font(20, Theme::Weight::medium, Theme::Design::rounded));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize KeyCap::sizeHint() const {
    const int text = fontMetrics().horizontalAdvance(symbol_) + 2 * 14;
    return {std::max(text, wide_ ? wideMinimumWidth : minimumSide), minimumSide};
}

void KeyCap::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF cap = rect();
    QPainterPath shape;
    shape.addRoundedRect(cap, radius, radius);
    // White on a dark palette; on a light one white would vanish, so the text colour
    // takes its place at the same strengths.
    const bool dark = Theme::isDark(palette());
    const auto ink = [&](double opacity) {
        return dark ? Theme::white(opacity) : Theme::primaryTint(opacity, palette());
    };
    p.fillPath(shape, ink(0.08));
    strokeInside(p, cap, radius, ink(0.18));
    strokeInside(p, cap.adjusted(2, 2, -2, -2), radius - 2, ink(0.06));
    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, symbol_);
}

} // namespace ulmaro
