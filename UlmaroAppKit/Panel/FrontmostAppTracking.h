#pragma once

#include "UlmaroAppKit/Panel/AppReference.h"

#include <optional>

namespace ulmaro {

/// Which application is in front, and bringing one back.
class FrontmostAppTracking {
public:
    virtual ~FrontmostAppTracking() = default;
    virtual std::optional<AppReference> currentFrontmostApp() = 0;
    /// Brings `app` to the front; one that has gone is skipped.
    virtual void activate(const AppReference& app) = 0;
};

/// For desktops where no application can be tracked: none is ever in front.
class NoFrontmostAppTracking final : public FrontmostAppTracking {
public:
    std::optional<AppReference> currentFrontmostApp() override { return std::nullopt; }
    void activate(const AppReference&) override {}
};

} // namespace ulmaro
