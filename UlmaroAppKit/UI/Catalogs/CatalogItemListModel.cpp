#include "UlmaroAppKit/UI/Catalogs/CatalogItemListModel.h"

#include "UlmaroAppKit/UI/Catalogs/CatalogItemRow.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"

namespace ulmaro {

CatalogItemListModel::CatalogItemListModel(CatalogBrowsing& model, QObject* parent)
    : QAbstractListModel(parent), model_(model) {
    // The list has already changed when this runs; views read nothing between the two.
    items_ = model_.items.subscribe([this](const auto&) {
        beginResetModel();
        endResetModel();
    });
}

int CatalogItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(model_.items.get().size());
}

const CatalogBrowsing::Item* CatalogItemListModel::itemAt(int row) const {
    const auto& items = model_.items.get();
    if (row < 0 || row >= int(items.size())) return nullptr;
    return &items[std::size_t(row)];
}

QVariant CatalogItemListModel::data(const QModelIndex& index, int role) const {
    const CatalogBrowsing::Item* item = itemAt(index.row());
    if (!item) return {};
    switch (role) {
    case Qt::DisplayRole:
        return PlainText::fromBytes(item->name);
    case CatalogItemRow::idRole:
        return QVariant::fromValue<quint32>(item->id);
    case CatalogItemRow::isDirectoryRole:
        return item->isDirectory;
    case CatalogItemRow::sizeRole:
        return QVariant::fromValue<quint64>(item->size);
    case CatalogItemRow::mtimeRole:
        return QVariant::fromValue<quint32>(item->mtime);
    default:
        return {};
    }
}

std::optional<int> CatalogItemListModel::rowOf(std::uint32_t id) const {
    const auto& items = model_.items.get();
    for (std::size_t row = 0; row < items.size(); ++row)
        if (items[row].id == id) return int(row);
    return std::nullopt;
}

} // namespace ulmaro
