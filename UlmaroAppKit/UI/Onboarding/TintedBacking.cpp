#include "UlmaroAppKit/UI/Onboarding/TintedBacking.h"

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QPainter>

namespace ulmaro {

TintedBacking::TintedBacking(double radius, double fill, double border, QWidget* parent)
    : QWidget(parent), radius_(radius), fill_(fill), border_(border) {}

void TintedBacking::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Theme::drawRoundedRect(p, QRectF(rect()), radius_, Theme::primaryTint(fill_, palette()),
                           border_ > 0 ? Theme::primaryTint(border_, palette())
                                       : QColor(Qt::transparent));
}

} // namespace ulmaro
