#include "UlmaroAppKit/UI/Panel/PanelContent.h"

#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"

namespace ulmaro::PanelContent {
namespace {

/// The onboarding buttons: the flow is replaced during setup, so it is found at each press.
std::function<void()> onFlow(std::shared_ptr<AppCoordinator> app,
                             void (OnboardingViewModel::*step)()) {
    return [app = std::move(app), step] { (app->onboardingViewModel().*step)(); };
}

} // namespace

OverlayView* build(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator,
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
    OnboardingStepView::Options options;
    // The step views live inside the overlay view, and so within its resolver's life.
    options.icons = view->icons().get();
    view->setStepViewFactory(OnboardingStepView::overlayFactory(flow, callbacks, options));
    panel.setContent(view);
    return view;
}

} // namespace ulmaro::PanelContent
