#pragma once

#include "UlmaroAppKit/Platform/Observable.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QVBoxLayout;

namespace ulmaro {

class IconResolver;
class OverlayViewModel;

/// The lower part of the search layout: what the view model's result state shows.
class ResultArea final : public QWidget {
    Q_OBJECT
public:
    ResultArea(std::shared_ptr<OverlayViewModel> model, std::shared_ptr<IconResolver> icons,
               std::function<void()> onDismiss, QWidget* parent = nullptr);
    ~ResultArea() override;

    /// The view standing for the current state.
    QWidget* stateView() const { return stateView_; }

private:
    void rebuild();
    QWidget* makeStateView();
    QWidget* makeEmptyState();

    std::shared_ptr<OverlayViewModel> model_;
    std::shared_ptr<IconResolver> icons_;
    std::function<void()> onDismiss_;
    QVBoxLayout* layout_;
    QWidget* stateView_ = nullptr;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
