#include "UlmaroApp/PanelWiring.h"

#include "UlmaroApp/PanelProbes.h"
#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/PanelKeyRules.h"
#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/UI/OnboardingStepView.h"
#include "UlmaroAppKit/UI/OverlayPanel.h"
#include "UlmaroAppKit/UI/OverlayView.h"

#include <QLineEdit>
#include <QPointer>

namespace ulmaro {
namespace PanelWiring {

void installKeys(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator) {
    const std::weak_ptr<AppCoordinator> weak = coordinator;
    auto model = [weak]() -> OverlayViewModel* {
        auto app = weak.lock();
        return app ? &app->overlayViewModel() : nullptr;
    };
    panel.previewURLProvider = [model]() -> std::optional<std::string> {
        auto* m = model();
        return m ? m->selectedPath() : std::nullopt;
    };
    panel.onQuickLookMove = [model](int step) {
        if (auto* m = model()) m->moveSelection(step);
    };
    panel.isBrowsingResults = [model] {
        auto* m = model();
        return m && m->isBrowsingResults.get();
    };
    panel.onFilterDigit = [model](char digit) {
        auto* m = model();
        if (!m) return;
        const auto filter = QuickFilter::forDigit(std::string_view(&digit, 1));
        if (!filter) return;
        if (m->activeFilter.get() == filter)
            m->activeFilter.set(std::nullopt);
        else
            m->activeFilter.set(filter);
    };
    panel.onFindCopies = [model] {
        if (auto* m = model()) m->findCopiesOfSelected();
    };
    panel.onCopyPath = [model] {
        auto* m = model();
        return m && m->copySelectedPath();
    };
    panel.onToggleCheatSheet = [model] {
        if (auto* m = model()) m->toggleCheatSheet();
    };
    panel.onOpenTerminal = [model] {
        if (auto* m = model()) m->openTerminalAtSelected();
    };
    panel.fieldHasSelectedText = [model, window = QPointer<OverlayPanel>(&panel)] {
        auto* m = model();
        if (!m || !window) return false;
        const QLineEdit* field = OverlayPanel::firstTextField(window);
        if (!field) return false;
        return PanelKeyRules::fieldSelectionIsDeliberate(int(field->selectedText().size()),
                                                         m->inlineCompletion.get().has_value());
    };
    panel.onReveal = [weak] {
        auto app = weak.lock();
        if (app && app->overlayViewModel().revealSelected()) app->dismissOverlay();
    };
}

namespace {

/// The onboarding buttons: the flow is replaced during setup, so it is found at each press.
std::function<void()> onFlow(std::shared_ptr<AppCoordinator> app,
                             void (OnboardingViewModel::*step)()) {
    return [app = std::move(app), step] { (app->onboardingViewModel().*step)(); };
}

} // namespace

void buildContent(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator,
                  std::shared_ptr<Preferences> preferences) {
    const auto& app = coordinator;
    OverlayView::Callbacks callbacks;
    callbacks.onGrantFullDiskAccess = [app] { app->grantFullDiskAccess(); };
    callbacks.onAdvanceFromPermission = onFlow(app, &OnboardingViewModel::advanceFromPermission);
    callbacks.onDeferFullDiskAccess = [app] { app->deferFullDiskAccess(); };
    callbacks.onAdvanceFromWelcome = onFlow(app, &OnboardingViewModel::advanceFromWelcome);
    callbacks.onContinueInBackground = onFlow(app, &OnboardingViewModel::continueInBackground);
    callbacks.onAdvanceFromIndexing = onFlow(app, &OnboardingViewModel::advanceFromIndexing);
    callbacks.onAdvanceFromReady = onFlow(app, &OnboardingViewModel::advanceFromReady);
    callbacks.onCompleteOnboarding = onFlow(app, &OnboardingViewModel::complete);
    callbacks.onDismiss = [app] { app->dismissOverlay(); };
    callbacks.showsPaths = [preferences] { return preferences->showPaths(); };

    // The flow set up just before; it is not replaced afterwards, and it lives as long as
    // the coordinator this pointer shares.
    auto flow =
        std::shared_ptr<OnboardingViewModel>(coordinator, &coordinator->onboardingViewModel());
    auto* view =
        new OverlayView(coordinator->overlayViewModel().shared_from_this(), flow, callbacks);
    view->setStepViewFactory(OnboardingStepView::overlayFactory(flow, callbacks, {}));
    panel.setContent(view);

    if (TestMode::probePath()) PanelProbes::install(panel, *view, *coordinator);
}

} // namespace PanelWiring
} // namespace ulmaro
