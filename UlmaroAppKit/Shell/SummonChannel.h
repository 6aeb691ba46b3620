#pragma once

#include "UlmaroAppKit/Platform/Observable.h"

#include <functional>

namespace ulmaro {

/// How a later launch asks the running copy to show its panel: a message with no payload,
/// delivered at once or lost (nothing retries it).
class SummonChannel {
public:
    virtual ~SummonChannel() = default;

    /// Asks the running copy to summon its panel. Returns promptly, listener or not.
    virtual void post() = 0;
    /// Runs `handler` on the main queue for each summon, always in a new main-queue task,
    /// never inside the delivery. Observation ends when the subscription is released.
    [[nodiscard]] virtual Subscription observe(std::function<void()> handler) = 0;
};

} // namespace ulmaro
