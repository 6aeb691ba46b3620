#pragma once

#include "UlmaroAppKit/MenuBar/LoginItemProvider.h"

#include <memory>

namespace ulmaro {

/// What the menu's "Start at Login" item shows and does. The status is read from the
/// provider at every use; nothing is stored.
class LoginItemViewModel {
public:
    enum class DisplayState { on, off, pendingApproval, unavailable };

    explicit LoginItemViewModel(std::shared_ptr<LoginItemProvider> provider)
        : provider_(std::move(provider)) {}

    DisplayState displayState() const;
    /// Enabled → unregister; not registered or awaiting approval → register; not found →
    /// unregister, then register whether or not that failed. Errors are swallowed.
    void toggle();
    /// Registers only an item that is not registered at all (the end of onboarding).
    void registerIfNeeded();

    LoginItemProvider& provider() const { return *provider_; }

private:
    std::shared_ptr<LoginItemProvider> provider_;
};

} // namespace ulmaro
