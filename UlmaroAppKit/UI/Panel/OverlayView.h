#pragma once

#include "UlmaroAppKit/Panel/OverlaySections.h"
#include "UlmaroAppKit/Platform/Observable.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QVBoxLayout;

namespace ulmaro {

class FilterBar;
class IconResolver;
class OnboardingState;
class OverlayHeader;
class OverlayViewModel;
class PreparingView;
class ResultArea;

/// The panel's face: from top to bottom the first-run introduction, the header with the
/// search field, the filter bar, a divider, the access prompt, the cheat sheet or the result
/// area, the first-run completion and the access banner; or, instead of all but the header,
/// the onboarding step or the preparing screen (the header then stays in the tree with no
/// height and takes no clicks). 680 wide, its height following what it shows, drawn as a
/// translucent rounded panel. It keeps no state: every place follows the view model's
/// values, and a change touches only the places that read it. GUI thread only.
class OverlayView final : public QWidget {
    Q_OBJECT
public:
    /// What the shell does for the view's buttons and keys; each may be empty.
    struct Callbacks {
        std::function<void()> onGrantFullDiskAccess;
        std::function<void()> onAdvanceFromPermission;
        std::function<void()> onDeferFullDiskAccess;
        std::function<void()> onAdvanceFromWelcome;
        std::function<void()> onContinueInBackground;
        std::function<void()> onAdvanceFromIndexing;
        std::function<void()> onAdvanceFromReady;
        std::function<void()> onCompleteOnboarding;
        /// Hides the panel.
        std::function<void()> onDismiss;
        /// Whether rows show their folder line ("app.ulmaro.showPaths"); none: always. The
        /// shell calls `update()` on the view when the setting changes.
        std::function<bool()> showsPaths;
    };
    /// Makes the onboarding step's view whenever a step comes on screen; the view is
    /// dropped when the flow ends.
    using StepViewFactory = std::function<QWidget*(QWidget* parent)>;

    /// `onboarding` may be null (no flow).
    OverlayView(std::shared_ptr<OverlayViewModel> model,
                std::shared_ptr<OnboardingState> onboarding, Callbacks callbacks,
                QWidget* parent = nullptr);
    ~OverlayView() override;

    void setStepViewFactory(StepViewFactory factory);
    /// The icons of rows, of the completed file and of the first run's suggestions.
    const std::shared_ptr<IconResolver>& icons() const { return icons_; }

    // The places, for the panel and for tests.
    OverlaySections sections() const { return sections_; }
    OverlayHeader* header() const { return header_; }
    /// None while the bar is absent.
    FilterBar* filterBar() const;
    ResultArea* resultArea() const;
    /// The places in order from the top.
    enum class Place {
        firstRunIntro,
        header,
        filterBar,
        divider,
        fdaPrompt,
        cheatSheet,
        results,
        firstRunCompletion,
        fdaBanner,
        onboarding,
        preparing,
        count
    };
    /// What stands in a place; none while it is absent. The filter bar, the divider and the
    /// result area are made once and only hidden when absent.
    QWidget* placeWidget(Place place) const;
    bool isShown(Place place) const;
    PreparingView* preparingView() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void refreshSections(bool force = false);
    /// Puts a new view in `place` (made by `make`) when wanted and none stands there, or
    /// drops the one there when not wanted (later: it may be the sender of what removed
    /// it). The places made once are hidden instead.
    void fill(Place place, bool wanted, const std::function<QWidget*(QWidget*)>& make);
    void rebuild(Place place);
    QWidget* make(Place place, QWidget* parent);
    void fitHeight();
    /// Ctrl+Y's preview toggle, in the panel that shows this view.
    void togglePreview();

    std::shared_ptr<OverlayViewModel> model_;
    std::shared_ptr<OnboardingState> onboarding_;
    Callbacks callbacks_;
    StepViewFactory stepViewFactory_;
    std::shared_ptr<IconResolver> icons_;
    QVBoxLayout* layout_;
    OverlayHeader* header_;
    /// One holder per place; a holder shows only while it holds a view.
    std::vector<QWidget*> holders_;
    OverlaySections sections_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
