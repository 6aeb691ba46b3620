#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"

#include <QPainter>

namespace ulmaro {

ElidedLabel::ElidedLabel(QString text, Qt::TextElideMode mode, QWidget* parent)
    : QWidget(parent), text_(std::move(text)), mode_(mode),
      color_(palette().color(QPalette::WindowText)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    updateGeometry();
    update();
}

void ElidedLabel::setColor(const QColor& color) {
    color_ = color;
    update();
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text_, mode_, width());
}

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text_), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(color_);
    p.setFont(font());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

} // namespace ulmaro
