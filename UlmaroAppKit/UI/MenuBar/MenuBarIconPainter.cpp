#include "UlmaroAppKit/UI/MenuBar/MenuBarIconPainter.h"

#include <QIconEngine>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace ulmaro::MenuBarIconPainter {
namespace {

QRectF toQt(const MenuBarIconArt::Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

QImage canvas(QSize pixels, qreal dpr, Glyph glyph, int phase, const QColor& color) {
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paint(painter, QRectF(QPointF(0, 0), QSizeF(pixels)), glyph, phase, color);
    }
    image.setDevicePixelRatio(dpr);
    return image;
}

class Engine final : public QIconEngine {
public:
    Engine(Glyph glyph, int phase, const QColor& color)
        : glyph_(glyph), phase_(phase), color_(color) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        MenuBarIconPainter::paint(*painter, rect, glyph_, phase_, color_);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
        // Qt asks in device pixels already: `size` is the logical size times `scale`.
        return QPixmap::fromImage(canvas(size, scale, glyph_, phase_, color_));
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32)};
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new Engine(glyph_, phase_, color_); }
    QString key() const override { return QStringLiteral("ulmaro.ping"); }

private:
    Glyph glyph_;
    int phase_;
    QColor color_;
};

} // namespace

void paint(QPainter& painter, const QRectF& target, Glyph glyph, int animationPhase,
           const QColor& color) {
    const double side = std::min(target.width(), target.height());
    if (side <= 0) return;
    const MenuBarIconArt::Drawing art = MenuBarIconArt::drawing(glyph, animationPhase);
    const double scale = side / MenuBarIconArt::boxSize;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The art grows upwards: its origin is the square's bottom-left corner.
    painter.translate(target.center().x() - side / 2, target.center().y() + side / 2);
    painter.scale(scale, -scale);

    QPainterPath spokes;
    for (const auto& spoke : art.spokes) {
        spokes.moveTo(spoke.from.x, spoke.from.y);
        spokes.lineTo(spoke.to.x, spoke.to.y);
    }
    painter.strokePath(spokes, QPen(color, art.lineWidth, Qt::SolidLine, Qt::RoundCap));

    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const double radius = art.dotDiameter / 2;
    painter.drawEllipse(QPointF(art.dotCentre.x, art.dotCentre.y), radius, radius);
    if (art.badge) {
        painter.drawRoundedRect(toQt(art.badge->bar), art.badge->cornerRadius,
                                art.badge->cornerRadius);
        painter.drawEllipse(toQt(art.badge->dot));
    }
    painter.restore();
}

QImage image(Glyph glyph, int animationPhase, int size, qreal dpr, const QColor& color) {
    const int pixels = std::max(1, qRound(size * dpr));
    return canvas(QSize(pixels, pixels), dpr, glyph, animationPhase, color);
}

QIcon icon(Glyph glyph, int animationPhase, const QColor& color) {
    return QIcon(new Engine(glyph, animationPhase, color));
}

} // namespace ulmaro::MenuBarIconPainter
