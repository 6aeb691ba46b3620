#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Search/RankedRow.h"

#include <QListView>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QPropertyAnimation;
class QVariantAnimation;

namespace ulmaro {

class IconResolver;
class OverlayViewModel;
class ResultListModel;

/// The list of result rows: as high as `OverlayLayout::resultsHeight` of its rows, scrolling
/// beyond; the selection drawn is the model's `selectedID`, and a change of it scrolls its
/// row into view with the least scrolling (0.12 s ease-out). While the rows are stale the
/// list fades to 0.45 (0.12 s). A click selects and opens, hiding the panel when the open
/// says so; a right click offers the result menu; a drag offers the file.
class ResultListView final : public QListView {
    Q_OBJECT
public:
    ResultListView(std::shared_ptr<OverlayViewModel> model, std::shared_ptr<IconResolver> icons,
                   std::function<void()> onDismiss, std::function<void()> preview,
                   std::function<bool()> showsPaths = {}, QWidget* parent = nullptr);
    ~ResultListView() override;

    /// Replaces the rows: one model reset.
    void showRows(std::vector<RankedRow> rows);
    ResultListModel& rows() const { return *rows_; }
    /// The result menu of the row at `index`, to be shown by the caller.
    QMenu* menuFor(int index);
    /// The list's opacity now (1, or 0.45 while stale, between them while fading).
    double opacity() const;
    bool isAnimating() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    /// The list selects nothing of its own, so Qt's drag (of the selected items) would carry
    /// nothing: the pressed row is dragged.
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void selectionChanged();
    void staleChanged();

    std::shared_ptr<OverlayViewModel> model_;
    std::shared_ptr<IconResolver> icons_;
    std::function<void()> onDismiss_;
    std::function<void()> preview_;
    ResultListModel* rows_;
    QPropertyAnimation* scrolling_;
    /// The rows' opacity, which the row view paints with.
    double opacity_ = 1.0;
    QVariantAnimation* fading_;
    QPersistentModelIndex pressed_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
