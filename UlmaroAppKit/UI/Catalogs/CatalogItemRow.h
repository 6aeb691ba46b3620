#pragma once

#include "UlmaroAppKit/UI/Catalogs/ItemRowDelegate.h"

#include <QHash>
#include <cstdint>
#include <functional>
#include <string>

namespace ulmaro {

/// Draws one file or folder of the catalog browser's list from the model's roles: its
/// symbol, its name (elided in the middle), its size and its date. The size and date texts
/// come from the functions it is given (the browser model's shared formatters), made when a
/// row is first painted and kept by record ID until `forgetTexts()`, which the list calls
/// when its rows are replaced. No widget per row.
class CatalogItemRow final : public ItemRowDelegate {
public:
    /// The name is `Qt::DisplayRole`.
    enum Role { idRole = Qt::UserRole + 1, isDirectoryRole, sizeRole, mtimeRole };

    using SizeText = std::function<std::string(std::uint64_t)>;
    using DateText = std::function<std::string(std::uint32_t)>;

    static constexpr int iconFrame = 16;
    static constexpr int spacing = 8;
    static constexpr int minimumGap = 12;
    static constexpr int dateWidth = 130;
    static constexpr int horizontalInset = 8;

    CatalogItemRow(SizeText sizeText, DateText dateText, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void forgetTexts() { texts_.clear(); }
    /// How many rows' texts are kept: the rows painted since the last `forgetTexts()`.
    qsizetype keptTexts() const { return texts_.size(); }

    /// Where each part of a row lies within `rect`, for drawing and for tests.
    struct Layout {
        QRect icon;
        QRect name;
        QRect size;
        QRect date;
    };
    static Layout layout(const QRect& rect, const QString& sizeText);

private:
    struct Texts {
        QString size;
        QString date;
    };
    const Texts& textsFor(const QModelIndex& index) const;

    SizeText sizeText_;
    DateText dateText_;
    mutable QHash<quint32, Texts> texts_;
};

} // namespace ulmaro
