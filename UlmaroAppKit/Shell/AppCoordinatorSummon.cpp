#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/WorkspaceOpener.h"

#include <algorithm>

namespace ulmaro {

void AppCoordinator::summon() {
    if (onboardingViewModel_->isShowing()) {
        // Finishing the flow starts indexing when it had not started.
        onboardingViewModel_->skip();
        panelController_->show(true);
    } else if (panelController_->isVisible()) {
        panelController_->dismiss(true);
    } else {
        panelController_->show(false);
    }
}

void AppCoordinator::dismissOverlay() {
    if (onboardingViewModel_->isShowing()) onboardingViewModel_->skip();
    panelController_->dismiss(true);
    overlayViewModel_->reset();
}

void AppCoordinator::openRecentFile(const std::string& path) {
    const auto& files = recentsStore_->recentFiles();
    const auto found = std::find_if(files.begin(), files.end(),
                                    [&](const RecentFileEntry& e) { return e.path == path; });
    if (found == files.end()) return;
    const RecentFileEntry entry = *found;
    recentsStore_->recordOpened(entry.path, entry.name, env_.clock->now());
    if (overlayViewModel_->dismissBeforeOpen) overlayViewModel_->dismissBeforeOpen();
    env_.opener->open(entry.path);
}

void AppCoordinator::grantFullDiskAccess() {
    // There is no permission to grant on Linux, so nothing opens; the ask is answered.
    FDAPromptStore::clearAskOwed(*firstRunDefaults_);
    overlayViewModel_->fdaPromptVisible.set(false);
}

void AppCoordinator::deferFullDiskAccess() {
    FDAPromptStore::markLaterTapped(*firstRunDefaults_);
    FDAPromptStore::clearAskOwed(*firstRunDefaults_);
    overlayViewModel_->fdaPromptVisible.set(false);
    overlayViewModel_->fdaBannerVisible.set(true);
}

} // namespace ulmaro
