#include "UlmaroAppKit/UI/Panel/ResultListModel.h"

#include "UlmaroAppKit/Platform/FileUri.h"

#include <QMimeData>
#include <sys/stat.h>

namespace ulmaro {

void ResultListModel::setRows(std::vector<RankedRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

QModelIndex ResultListModel::indexOf(std::uint32_t id) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id) return index(int(i));
    return {};
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return QString::fromStdString(rows_[std::size_t(index.row())].name);
    return {};
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

QStringList ResultListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ResultListModel::mimeData(const QModelIndexList& indexes) const {
    auto* data = new QMimeData;
    if (indexes.isEmpty() || !indexes.front().isValid()) return data;
    const std::string& path = row(indexes.front().row()).path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return data;
    if (const auto uri = fileUri(path))
        data->setData(QStringLiteral("text/uri-list"), QByteArray::fromStdString(*uri + "\r\n"));
    return data;
}

} // namespace ulmaro
