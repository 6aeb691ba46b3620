#include "UlmaroAppKit/UI/Onboarding/BrandMarkView.h"

#include "UlmaroAppKit/UI/Qt/QtTimerService.h"

#include <QEasingCurve>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWindow>
#include <cmath>

namespace ulmaro {
namespace {

QColor rgb(BrandMarkGeometry::Rgb c) {
    return QColor(c.red, c.green, c.blue);
}

/// Ease-out: the cubic Bézier (0, 0, 0.58, 1).
QEasingCurve easeOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

} // namespace

BrandMarkView::BrandMarkView(double size, bool spinning, QWidget* parent,
                             std::shared_ptr<TimerService> timers)
    : QWidget(parent), geometry_(size),
      ticker_(timers ? std::move(timers) : std::make_shared<QtTimerService>(), spinning,
              [this](long long s) { stepped(s); }) {
    const int side = int(std::ceil(size));
    setFixedSize(side, side);
    setAttribute(Qt::WA_TranslucentBackground);
    transition_.setDuration(easingMilliseconds);
    transition_.setEasingCurve(easeOut());
    transition_.setStartValue(0.0);
    transition_.setEndValue(1.0);
}

QSize BrandMarkView::sizeHint() const {
    return size();
}

void BrandMarkView::stepped(long long step) {
    // Each turn starts where the last one is now, so a late tick never jumps back.
    const double fromStep = shownStep_, fromScale = shownDotScale_;
    const double toStep = double(step), toScale = BrandMarkGeometry::dotScale(step);
    transition_.stop();
    disconnect(&transition_, &QVariantAnimation::valueChanged, this, nullptr);
    connect(&transition_, &QVariantAnimation::valueChanged, this, [=, this](const QVariant& v) {
        const double p = v.toDouble();
        shownStep_ = fromStep + (toStep - fromStep) * p;
        shownDotScale_ = fromScale + (toScale - fromScale) * p;
        update();
    });
    transition_.start();
}

void BrandMarkView::finishTransition() {
    if (transition_.state() != QAbstractAnimation::Running) return;
    transition_.setCurrentTime(transition_.duration());
    transition_.stop();
}

void BrandMarkView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ticker_.appear();
}

void BrandMarkView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    ticker_.disappear();
    finishTransition();
    dropBackdrop();
}

void BrandMarkView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    const auto type = event->type();
    if (type == QEvent::PaletteChange || type == QEvent::StyleChange ||
        type == QEvent::ParentChange)
        dropBackdrop();
}

void BrandMarkView::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    dropBackdrop();
}

void BrandMarkView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dropBackdrop();
}

void BrandMarkView::dropBackdrop() {
    if (backdrop_.isNull()) return;
    backdrop_ = QPixmap();
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (QWidget* parent = parentWidget()) parent->update(geometry());
}

void BrandMarkView::paintTile(QPainter& p) const {
    const BrandMarkGeometry& g = geometry_;
    const double m = g.margin(), t = g.tileSide();
    QLinearGradient gradient(QPointF(m, m), QPointF(m + t, m + t));
    gradient.setColorAt(0, rgb(BrandMarkGeometry::gradientStart));
    gradient.setColorAt(1, rgb(BrandMarkGeometry::gradientEnd));
    QPainterPath tile;
    tile.addRoundedRect(QRectF(m, m, t, t), g.cornerRadius(), g.cornerRadius());
    p.fillPath(tile, gradient);
}

// Outside any paint pass: the window draws the square with everything but the mark.
void BrandMarkView::takeBackdrop() {
    if (!isVisible() || !backdrop_.isNull() || !window()->windowHandle() ||
        !window()->windowHandle()->isExposed())
        return;
    const qreal ratio = devicePixelRatioF();
    QPixmap copy(size() * ratio);
    copy.setDevicePixelRatio(ratio);
    copy.fill(Qt::transparent);
    QWidget* top = window();
    const QPoint at = mapTo(top, QPoint(0, 0));
    takingBackdrop_ = true;
    top->render(&copy, QPoint(), QRegion(QRect(at, size())), QWidget::DrawChildren);
    takingBackdrop_ = false;
    {
        QPainter p(&copy);
        p.setRenderHint(QPainter::Antialiasing);
        paintTile(p);
    }
    backdrop_ = std::move(copy);
    backdropAt_ = at;
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void BrandMarkView::paintEvent(QPaintEvent*) {
    if (takingBackdrop_) return;
    QPainter p(this);
    if (!backdrop_.isNull() && mapTo(window(), QPoint(0, 0)) != backdropAt_) {
        // Moved with an ancestor (a scrolled view): what lies behind is not the copy.
        p.end();
        dropBackdrop();
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    if (backdrop_.isNull()) {
        QTimer::singleShot(0, this, [this] { takeBackdrop(); });
        paintTile(p);
    } else {
        // The copy holds the tile too: it never turns.
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawPixmap(0, 0, backdrop_);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    const BrandMarkGeometry& g = geometry_;

    QPen pen(Qt::white, g.rayWidth(), Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    for (const auto& ray : g.rays(shownStep_)) {
        QColor colour(Qt::white);
        colour.setAlphaF(float(ray.opacity));
        pen.setColor(colour);
        p.setPen(pen);
        p.drawLine(QPointF(ray.inner.x, ray.inner.y), QPointF(ray.outer.x, ray.outer.y));
    }

    const double radius = g.dotDiameter() * shownDotScale_ / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(g.size() / 2, g.size() / 2), radius, radius);
}

} // namespace ulmaro
