#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <QIcon>
#include <QStyledItemDelegate>
#include <functional>
#include <memory>

class QTextLayout;

namespace ulmaro {

class IconResolver;
class OverlayViewModel;

/// Draws each row of the result list: its icon, its name and the folder that holds it, on
/// the selection's rounded accent when the row is the model's selection. Each item is the
/// row's height (36, or 52 with a contents line) plus the gap of 2 above it, and the list's
/// padding of 8 above the first and below the last, so the list's content is exactly
/// `OverlayLayout::resultsHeight`. Icons come from the resolver's per-extension cache.
class ResultRowView final : public QStyledItemDelegate {
    Q_OBJECT
public:
    /// `showsPaths` says whether rows show their folder line ("app.ulmaro.showPaths"); none
    /// means always.
    ResultRowView(std::shared_ptr<OverlayViewModel> model, std::shared_ptr<IconResolver> icons,
                  std::function<bool()> showsPaths, QObject* parent = nullptr);

    /// One row into `rect`, its own rectangle without padding or gap. Without the folder line
    /// the row keeps its height.
    static void paintRow(QPainter& painter, const QRect& rect, const RankedRow& row,
                         bool isSelected, const QIcon& icon, bool showsFolder = true);
    /// The name's line laid out: its bold runs as formats at their UTF-16 positions, cut with
    /// an ellipsis to `width`.
    static std::unique_ptr<QTextLayout> nameLayout(const RankedRow& row, const QFont& font,
                                                   int width);
    /// The row's own rectangle inside its item.
    static QRect rowRect(const QRect& itemRect, int row, int rowCount);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    std::shared_ptr<OverlayViewModel> model_;
    std::shared_ptr<IconResolver> icons_;
    std::function<bool()> showsPaths_;
};

} // namespace ulmaro
