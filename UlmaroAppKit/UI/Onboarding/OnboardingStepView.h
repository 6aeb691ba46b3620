#pragma once

#include "UlmaroAppKit/Onboarding/OnboardingStep.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

class FileChooser;
class IconResolver;
class OnboardingViewModel;
class StepDots;
class Subscription;
class TimerService;

/// The first run inside the search panel: the page of the current step framed to 624 ×
/// 320 and clipped, the step dots 20 below, 28 and 30 of padding. A step change swaps the
/// page; counts and texts change in place. Buttons become the host's callbacks, or the
/// model's own operations where the flow answers itself. It never changes the step.
/// GUI thread only.
class OnboardingStepView final : public QWidget {
    Q_OBJECT
public:
    using Action = std::function<void()>;
    struct Callbacks {
        Action onGrantFullDiskAccess;
        Action onAdvanceFromPermission;
        Action onAdvanceFromWelcome;
        /// Handed in by the host; no page fires it.
        Action onContinueInBackground;
        Action onAdvanceFromIndexing;
        Action onAdvanceFromReady;
        Action onComplete;
    };
    struct Options {
        /// Icons of the suggested files; may be null.
        IconResolver* icons = nullptr;
        /// The access probe can ask for access (never on Linux).
        bool canAskForAccess = false;
        /// Drives the marks' ticks; the Qt event loop's when none.
        std::shared_ptr<TimerService> timers;
        /// Where the content-folder page asks for folders; Qt's, modal to the panel, when
        /// null.
        FileChooser* chooser = nullptr;
        /// Escape: the host's dismissal, which finishes the flow.
        Action onDismiss;
    };

    OnboardingStepView(OnboardingViewModel& model, Callbacks callbacks, Options options,
                       QWidget* parent = nullptr);
    ~OnboardingStepView() override;

    /// What the overlay view hosts while a step shows: a new step view over `model` each
    /// time (so its content folders start empty), its callbacks the overlay's own, Escape
    /// its dismissal. The model must outlive the views made.
    static std::function<QWidget*(QWidget* parent)>
    overlayFactory(std::shared_ptr<OnboardingViewModel> model,
                   const OverlayView::Callbacks& overlay, Options options);

    /// The page on screen and the step it shows (try-these for none).
    QWidget* page() const { return page_; }
    OnboardingStep pageStep() const { return pageStep_; }
    QWidget& pageFrame() const { return *frame_; }
    StepDots& dots() const { return *dots_; }
    /// The content folders as the content-folder page shows them; empty at first.
    std::vector<std::string>& contentFolders() { return contentFolders_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void rebuild();
    void refresh();
    QWidget* makePage(OnboardingStep step);
    QWidget* howToSearchPage();

    OnboardingViewModel& model_;
    Callbacks callbacks_;
    Options options_;
    QWidget* frame_;
    StepDots* dots_;
    QWidget* page_ = nullptr;
    OnboardingStep pageStep_ = OnboardingStep::welcome;
    std::vector<std::string> contentFolders_;
    std::vector<Subscription> subscriptions_;
};

} // namespace ulmaro
