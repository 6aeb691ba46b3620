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
class ResultListView;

/// The lower part of the search layout: the copies and offline banners, then what the
/// result state shows — the first build's progress, the list of rows with the size-and-date
/// notice, the failure line, the no-match block with its offers, or the empty state with
/// the recent lists. The list is made once and refilled per outcome; the other views are
/// rebuilt when the values they show change.
class ResultArea final : public QWidget {
    Q_OBJECT
public:
    /// `preview` toggles the preview window as Ctrl+Y does; `showsPaths` says whether rows
    /// show their folder line (none: always).
    ResultArea(std::shared_ptr<OverlayViewModel> model, std::shared_ptr<IconResolver> icons,
               std::function<void()> onDismiss, std::function<void()> preview,
               std::function<bool()> showsPaths = {}, QWidget* parent = nullptr);
    ~ResultArea() override;

    ResultListView* list() const { return list_; }
    /// The view standing for a state other than results; none while the list shows.
    QWidget* stateView() const { return stateView_; }
    /// The banners and the list's notice; none while absent.
    QWidget* copiesBanner() const { return copiesBanner_; }
    QWidget* offlineBanner() const { return offlineBanner_; }
    QWidget* listNotice() const { return listNotice_; }

protected:
    /// The recent lists change while the panel is hidden: the empty state is read anew.
    void showEvent(QShowEvent* event) override;

private:
    void stateChanged();
    void rebuildStateView();
    void rebuildNoMatches();
    void rebuildBanners();
    void refreshListNotice();
    QWidget* makeStateView();
    QWidget* makeNoMatches();
    QWidget* makeEmptyState();

    std::shared_ptr<OverlayViewModel> model_;
    std::shared_ptr<IconResolver> icons_;
    std::function<void()> onDismiss_;
    std::function<void()> preview_;
    std::function<bool()> showsPaths_;
    QVBoxLayout* layout_;
    ResultListView* list_;
    QWidget* copiesBanner_ = nullptr;
    QWidget* offlineBanner_ = nullptr;
    QWidget* listNotice_ = nullptr;
    QWidget* stateView_ = nullptr;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
