#include "UlmaroAppKit/UI/X11/X11FrontmostAppTracker.h"

#include "UlmaroAppKit/UI/X11/X11Desktop.h"

namespace ulmaro {

std::shared_ptr<FrontmostAppTracking> X11FrontmostAppTracker::make() {
    if (X11Desktop::current()) return std::make_shared<X11FrontmostAppTracker>();
    return std::make_shared<NoFrontmostAppTracking>();
}

std::optional<AppReference> X11FrontmostAppTracker::currentFrontmostApp() {
    auto desktop = X11Desktop::current();
    if (!desktop) return std::nullopt;
    auto window = desktop->activeWindow();
    if (!window) return std::nullopt;
    // A window without a process ID can still be given the keyboard back.
    return AppReference{desktop->processIdentifier(*window).value_or(0), *window};
}

void X11FrontmostAppTracker::activate(const AppReference& app) {
    auto desktop = X11Desktop::current();
    if (!desktop || app.window == 0 || !desktop->windowExists(app.window)) return;
    if (app.processIdentifier != 0 &&
        desktop->processIdentifier(app.window).value_or(0) != app.processIdentifier)
        return;
    desktop->requestActivation(app.window, X11Desktop::Source::pager, 0);
}

} // namespace ulmaro
