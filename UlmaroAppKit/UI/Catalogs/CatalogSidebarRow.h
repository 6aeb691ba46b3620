#pragma once

#include "UlmaroAppKit/UI/Catalogs/ItemRowDelegate.h"

namespace ulmaro {

/// Draws one catalog of the catalog window's sidebar: a dot in the catalog's colour, its
/// name on one line and its status below, from the model's roles. No widget per row.
class CatalogSidebarRow final : public ItemRowDelegate {
public:
    /// The name is `Qt::DisplayRole`.
    enum Role { statusRole = Qt::UserRole + 1, colourRole };

    static constexpr int dotSize = 8;
    static constexpr int spacing = 8;
    static constexpr int verticalPadding = 2;
    static constexpr int horizontalInset = 8;

    using ItemRowDelegate::ItemRowDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace ulmaro
