#pragma once

#include "UlmaroAppKit/Panel/FrontmostAppTracking.h"

#include <memory>

namespace ulmaro {

/// The window the user was in, on X11: the window manager's active window and its process.
/// Giving it back asks the window manager to activate that window as a pager would (a
/// user's request, which focus-stealing rules let through); a window that is gone, or now
/// belongs to another process, is skipped.
class X11FrontmostAppTracker final : public FrontmostAppTracking {
public:
    /// This tracker on X11; elsewhere one that tracks nothing.
    static std::shared_ptr<FrontmostAppTracking> make();

    std::optional<AppReference> currentFrontmostApp() override;
    void activate(const AppReference& app) override;
};

} // namespace ulmaro
