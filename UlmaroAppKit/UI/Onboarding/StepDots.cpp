#include "UlmaroAppKit/UI/Onboarding/StepDots.h"

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QPainter>
#include <algorithm>

namespace ulmaro {

StepDots::StepDots(int current, int total, QWidget* parent)
    : QWidget(parent), current_(current), total_(total) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StepDots::setSteps(int current, int total) {
    if (current == current_ && total == total_) return;
    const bool resized = total != total_;
    current_ = current;
    total_ = total;
    if (resized) updateGeometry();
    update();
}

QSize StepDots::sizeHint() const {
    const int n = std::max(total_, 0);
    return {n == 0 ? 0 : n * dot + (n - 1) * spacing, dot};
}

void StepDots::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int top = (height() - dot) / 2;
    for (int number = 1; number <= total_; ++number) {
        p.setBrush(Theme::primaryTint(number == current_ ? 0.8 : 0.2, palette()));
        p.drawEllipse(QRectF((number - 1) * (dot + spacing), top, dot, dot));
    }
}

} // namespace ulmaro
