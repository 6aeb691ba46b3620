#pragma once

#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/Platform/Observable.h"

#include <QWidget>
#include <memory>
#include <vector>

class QMenu;

namespace ulmaro {

class CapsuleButton;
class OverlayViewModel;

/// The row under the header: one chip per quick filter, the save star and the sort menu.
/// Every control changes one value of the view model or calls one of its operations; the
/// bar reads its looks from the model whenever the values they follow change.
class FilterBar final : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(std::shared_ptr<OverlayViewModel> model, QWidget* parent = nullptr);
    ~FilterBar() override;

    /// The chip of each filter, in `QuickFilter::allCases` order.
    CapsuleButton* chip(QuickFilter filter) const;
    CapsuleButton* star() const { return star_; }
    CapsuleButton* sortButton() const { return sortButton_; }
    /// One action per order; the current one carries the "checkmark" symbol.
    QMenu* sortMenu() const { return sortMenu_; }

private:
    void refreshChips();
    void refreshStar();
    void refreshSort();

    std::shared_ptr<OverlayViewModel> model_;
    std::vector<CapsuleButton*> chips_;
    CapsuleButton* star_;
    CapsuleButton* sortButton_;
    QMenu* sortMenu_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
