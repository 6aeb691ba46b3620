#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarRow.h"

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QPainter>

namespace ulmaro {
namespace {

QFont statusFont() {
    return Theme::font(11);
}

} // namespace

void CatalogSidebarRow::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    drawBackground(painter, option, index);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect area =
        option.rect.adjusted(horizontalInset, verticalPadding, -horizontalInset, -verticalPadding);
    const QFontMetrics nameMetrics(option.font);
    const QFontMetrics statusMetrics(statusFont());
    const int textHeight = nameMetrics.height() + 1 + statusMetrics.height();
    const int top = area.y() + (area.height() - textHeight) / 2;

    const QColor colour = index.data(colourRole).value<QColor>();
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawEllipse(QRectF(area.x(), area.center().y() + 1 - dotSize / 2.0, dotSize, dotSize));

    const int textLeft = area.x() + dotSize + spacing;
    const int textWidth = std::max(0, area.right() + 1 - textLeft);
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->setFont(option.font);
    painter->setPen(textColour(option, Theme::Level::primary));
    painter->drawText(QRect(textLeft, top, textWidth, nameMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      nameMetrics.elidedText(name, Qt::ElideRight, textWidth));
    const QString status = index.data(statusRole).toString();
    painter->setFont(statusFont());
    painter->setPen(textColour(option, Theme::Level::secondary));
    painter->drawText(
        QRect(textLeft, top + nameMetrics.height() + 1, textWidth, statusMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        statusMetrics.elidedText(status, Qt::ElideRight, textWidth));
    painter->restore();
}

QSize CatalogSidebarRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int text = QFontMetrics(option.font).height() + 1 + QFontMetrics(statusFont()).height();
    return {2 * horizontalInset + dotSize + spacing + 100, text + 2 * verticalPadding + 4};
}

} // namespace ulmaro
