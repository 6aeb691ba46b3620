#include "UlmaroAppKit/Panel/OverlayPanelController.h"

namespace ulmaro {

OverlayPanelController::OverlayPanelController(
    std::shared_ptr<OverlayPanelWindow> panel,
    std::shared_ptr<FrontmostAppTracking> frontmostTracker,
    std::shared_ptr<PanelPositionStoring> positionStore, MainQueue& mainQueue)
    : panel_(std::move(panel)), frontmostTracker_(std::move(frontmostTracker)),
      positionStore_(std::move(positionStore)), mainQueue_(mainQueue) {
    quickLookIsOnScreen = [panel = panel_.get()] { return panel->previewIsOnScreen(); };
    panel_->setOnResignKey([this] { panelResignedKey(); });
}

OverlayPanelController::~OverlayPanelController() {
    panel_->setOnResignKey({});
}

void OverlayPanelController::show(bool /*activating*/) {
    if (panel_->isVisible()) return;
    // Taken before anything is raised, so it is the application the user was working in.
    capturedFrontmost_ = frontmostTracker_->currentFrontmostApp();
    panel_->restorePositionOrCenter(positionStore_->savedTopLeft());
    panel_->makeKeyAndOrderFront();
    // The field takes the keyboard once the window is up and laid out.
    mainQueue_.post([weak = std::weak_ptr(panel_)] {
        if (auto panel = weak.lock()) panel->focusSearchField();
    });
}

void OverlayPanelController::dismiss(bool restoringPreviousApp) {
    if (!panel_->isVisible()) return;
    // Only a place the user saw is remembered: a window not yet placed by the window
    // manager has none.
    if (const auto shown = panel_->shownTopLeft()) positionStore_->save(*shown);
    panel_->orderOut();
    if (restoringPreviousApp && capturedFrontmost_)
        frontmostTracker_->activate(*capturedFrontmost_);
    capturedFrontmost_.reset();
}

void OverlayPanelController::toggle(bool activating) {
    if (panel_->isVisible())
        dismiss(true);
    else
        show(activating);
}

void OverlayPanelController::resetPosition() {
    positionStore_->clear();
    if (panel_->isVisible()) panel_->centerOnActiveScreen();
}

void OverlayPanelController::panelResignedKey() {
    if (!panel_->isVisible()) return;
    if (quickLookIsOnScreen && quickLookIsOnScreen()) return;
    if (!shouldDismissOnResignKey || shouldDismissOnResignKey()) dismiss(true);
}

} // namespace ulmaro
