#pragma once

#include "UlmaroAppKit/Panel/AppReference.h"
#include "UlmaroAppKit/Panel/FrontmostAppTracking.h"
#include "UlmaroAppKit/Panel/OverlayPanelWindow.h"
#include "UlmaroAppKit/Panel/PanelPositionStoring.h"
#include "UlmaroAppKit/Platform/MainQueue.h"

#include <functional>
#include <memory>
#include <optional>

namespace ulmaro {

/// When the panel shows and hides, and where: it remembers which application was in front
/// when the panel appeared, restores the panel's last position, gives the search field the
/// keyboard, and on dismissal saves the position and can give the keyboard back. Losing
/// the keyboard dismisses the panel, except to the preview. Main thread only.
class OverlayPanelController {
public:
    OverlayPanelController(std::shared_ptr<OverlayPanelWindow> panel,
                           std::shared_ptr<FrontmostAppTracking> frontmostTracker,
                           std::shared_ptr<PanelPositionStoring> positionStore,
                           MainQueue& mainQueue);
    ~OverlayPanelController();
    OverlayPanelController(const OverlayPanelController&) = delete;
    OverlayPanelController& operator=(const OverlayPanelController&) = delete;

    /// Does nothing when the panel is already visible. `activating` is kept for callers'
    /// sake: on X11 raising and focusing the window is all the activation there is, so both
    /// kinds of show do the same.
    void show(bool activating);
    void dismiss(bool restoringPreviousApp);
    void toggle(bool activating);
    /// Forgets the saved corner; a visible panel is centred at once, a hidden one the next
    /// time it shows.
    void resetPosition();
    bool isVisible() const { return panel_->isVisible(); }

    /// Whether losing the keyboard dismisses; true unless replaced.
    std::function<bool()> shouldDismissOnResignKey = [] { return true; };
    /// Whether the preview is showing (it keeps the panel open when it takes the
    /// keyboard); the panel window's own answer unless replaced.
    std::function<bool()> quickLookIsOnScreen;

    const std::optional<AppReference>& capturedFrontmost() const { return capturedFrontmost_; }

private:
    void panelResignedKey();

    std::shared_ptr<OverlayPanelWindow> panel_;
    std::shared_ptr<FrontmostAppTracking> frontmostTracker_;
    std::shared_ptr<PanelPositionStoring> positionStore_;
    MainQueue& mainQueue_;
    std::optional<AppReference> capturedFrontmost_;
};

} // namespace ulmaro
