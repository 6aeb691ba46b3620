#include "UlmaroAppKit/UI/Onboarding/CountingLabel.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QEasingCurve>
#include <QPainter>
#include <cmath>

namespace ulmaro {

CountingLabel::CountingLabel(std::int64_t value, const QFont& font, QWidget* parent)
    : QWidget(parent), target_(value), shown_(value) {
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(fontMetrics().height());
    transition_.setDuration(easingMilliseconds);
    transition_.setEasingCurve(QEasingCurve::OutCubic);
    transition_.setStartValue(0.0);
    transition_.setEndValue(1.0);
    connect(&transition_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const double p = v.toDouble();
        display(from_ + std::int64_t(std::llround(double(target_ - from_) * p)));
    });
}

void CountingLabel::setValue(std::int64_t value) {
    if (value == target_) return;
    transition_.stop();
    target_ = value;
    if (value < shown_) {
        display(value);
        return;
    }
    from_ = shown_;
    transition_.start();
}

void CountingLabel::finishTransition() {
    if (transition_.state() != QAbstractAnimation::Running) return;
    transition_.stop();
    display(target_);
}

void CountingLabel::display(std::int64_t value) {
    if (value == shown_) return;
    const bool wider =
        shownText().size() != QString::fromStdString(IndexHealth::count(value)).size();
    shown_ = value;
    if (wider) updateGeometry();
    update();
}

QString CountingLabel::shownText() const {
    return QString::fromStdString(IndexHealth::count(shown_));
}

QSize CountingLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(QString::fromStdString(IndexHealth::count(target_))),
            height()};
}

void CountingLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(Theme::text(Theme::Level::primary, palette()));
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, shownText());
}

} // namespace ulmaro
