#pragma once

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QStyledItemDelegate>

namespace ulmaro {

/// What the list rows drawn by hand share: the style's row background (selection, hover)
/// and the text levels, read on a selected row in the selection's text colour.
class ItemRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void drawBackground(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const;
    static QColor textColour(const QStyleOptionViewItem& option, Theme::Level level);
};

} // namespace ulmaro
