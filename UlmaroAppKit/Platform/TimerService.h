#pragma once

#include "UlmaroAppKit/Platform/Clock.h"

#include <functional>
#include <memory>

namespace ulmaro {

/// A scheduled timer. Destroying the handle cancels it, so a timer never outlives its owner.
class Timer {
public:
    virtual ~Timer() = default;
    /// After this returns the action never starts again. Safe to call more than once.
    virtual void cancel() = 0;
};

/// One-shot and repeating timers whose actions run on the main queue.
class TimerService {
public:
    using Action = std::function<void()>;

    virtual ~TimerService() = default;

    /// Runs `action` once after `delay` (a negative delay counts as zero).
    [[nodiscard]] virtual std::unique_ptr<Timer> scheduleOnce(Seconds delay, Action action) = 0;
    /// Runs `action` every `interval` (a millisecond at least) until cancelled; the first
    /// run is one interval away.
    [[nodiscard]] virtual std::unique_ptr<Timer> scheduleRepeating(Seconds interval,
                                                                   Action action) = 0;
};

} // namespace ulmaro
