#include "UlmaroAppKit/UI/Panel/CapsuleButton.h"

#include "UlmaroAppKit/UI/Kit/Symbols.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace ulmaro {

CapsuleButton::CapsuleButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CapsuleButton::setLook(Look look) {
    if (look == look_) return;
    const bool resized = look.symbol.empty() != look_.symbol.empty() ||
                         look.symbolSize != look_.symbolSize || look.label != look_.label ||
                         look.font != look_.font || look.paddingX != look_.paddingX ||
                         look.paddingY != look_.paddingY || look.spacing != look_.spacing;
    look_ = std::move(look);
    if (resized) updateGeometry();
    update();
}

QSize CapsuleButton::sizeHint() const {
    const QFontMetrics metrics(look_.font);
    int width = 0;
    int height = look_.symbol.empty() ? 0 : look_.symbolSize;
    if (!look_.symbol.empty()) width += look_.symbolSize;
    if (!look_.label.isEmpty()) {
        if (width > 0) width += look_.spacing;
        width += metrics.horizontalAdvance(look_.label);
        height = std::max(height, metrics.height());
    }
    return {width + 2 * look_.paddingX, height + 2 * look_.paddingY};
}

void CapsuleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath capsule;
    capsule.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    painter.fillPath(capsule, look_.fill);

    int x = look_.paddingX;
    if (!look_.symbol.empty()) {
        const QPixmap symbol =
            Symbols::pixmap(look_.symbol, look_.symbolSize, look_.content, devicePixelRatioF());
        painter.drawPixmap(x, (height() - look_.symbolSize) / 2, symbol);
        x += look_.symbolSize + look_.spacing;
    }
    if (!look_.label.isEmpty()) {
        painter.setFont(look_.font);
        painter.setPen(look_.content);
        painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         look_.label);
    }
}

} // namespace ulmaro
