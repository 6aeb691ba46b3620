#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <QAbstractListModel>
#include <vector>

namespace ulmaro {

/// The rows of the result list as Qt's views want them. Replaced whole, one reset per
/// outcome. A dragged row offers its file as a `text/uri-list` of the path's raw bytes,
/// percent-encoded, when the file exists; else nothing.
class ResultListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setRows(std::vector<RankedRow> rows);
    const std::vector<RankedRow>& rows() const { return rows_; }
    const RankedRow& row(int index) const { return rows_[std::size_t(index)]; }
    /// The index of the row with `id`; invalid when none has it.
    QModelIndex indexOf(std::uint32_t id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    std::vector<RankedRow> rows_;
};

} // namespace ulmaro
