#include "UlmaroAppKit/UI/Panel/SuggestionButton.h"

#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace ulmaro {

SuggestionButton::SuggestionButton(const RankedRow& row, QWidget* parent)
    : QAbstractButton(parent), symbol_(row.isDirectory ? "folder" : "doc"),
      path_(QString::fromStdString(row.path)) {
    setFont(Theme::font(12, Theme::Weight::regular, Theme::Design::monospaced));
    setToolTip(path_);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SuggestionButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {symbolSize + spacing + metrics.horizontalAdvance(path_),
            std::max(symbolSize, metrics.height())};
}

QSize SuggestionButton::minimumSizeHint() const {
    return {symbolSize, sizeHint().height()};
}

QString SuggestionButton::shownPath() const {
    return QFontMetrics(font()).elidedText(path_, Qt::ElideMiddle,
                                           std::max(0, width() - symbolSize - spacing));
}

void SuggestionButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor secondary = Theme::text(Theme::Level::secondary);
    painter.drawPixmap(QRect(0, (height() - symbolSize) / 2, symbolSize, symbolSize),
                       Symbols::pixmap(symbol_, symbolSize, secondary, devicePixelRatioF()));
    painter.setPen(isDown() ? secondary : Theme::text(Theme::Level::primary));
    painter.drawText(QRect(symbolSize + spacing, 0, width() - symbolSize - spacing, height()),
                     Qt::AlignLeft | Qt::AlignVCenter, shownPath());
}

} // namespace ulmaro
