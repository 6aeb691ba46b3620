#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"

#include <QAbstractListModel>
#include <optional>

namespace ulmaro {

/// The browser model's `items` as a Qt list model, for `CatalogItemRow`: it reads the
/// model's list in place (no copy) and resets once per change of it.
class CatalogItemListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit CatalogItemListModel(CatalogBrowsing& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    /// The row of the item with record ID `id`, none when it is not listed.
    std::optional<int> rowOf(std::uint32_t id) const;
    const CatalogBrowsing::Item* itemAt(int row) const;

private:
    CatalogBrowsing& model_;
    Subscription items_;
};

} // namespace ulmaro
