#include "UlmaroAppKit/UI/Catalogs/ItemRowDelegate.h"

#include <QApplication>

namespace ulmaro {

void ItemRowDelegate::drawBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    base.text.clear();
    base.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &base, painter, widget);
}

QColor ItemRowDelegate::textColour(const QStyleOptionViewItem& option, Theme::Level level) {
    if (!option.state.testFlag(QStyle::State_Selected)) return Theme::text(level, option.palette);
    QPalette selected = option.palette;
    selected.setColor(QPalette::WindowText, option.palette.color(QPalette::HighlightedText));
    return Theme::text(level == Theme::Level::primary ? level : Theme::Level::secondary, selected);
}

} // namespace ulmaro
