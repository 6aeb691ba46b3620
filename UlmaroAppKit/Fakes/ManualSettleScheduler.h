#pragma once

#include "UlmaroAppKit/Panel/SettleScheduling.h"

#include <optional>
#include <utility>

namespace ulmaro {

/// A settle scheduler whose action runs only when the test calls `fire()`.
class ManualSettleScheduler final : public SettleScheduling {
public:
    void schedule(double delaySeconds, Action action) override {
        lastDelay_ = delaySeconds;
        pendingAction_ = std::move(action);
        ++scheduleCount_;
    }
    /// Drops the pending action; the delay and the count stay.
    void cancel() override { pendingAction_ = nullptr; }

    bool hasPending() const { return static_cast<bool>(pendingAction_); }
    /// Runs the pending action, cleared first, so one that schedules again stays pending.
    void fire() {
        if (auto action = std::exchange(pendingAction_, nullptr)) action();
    }

    std::optional<double> lastDelay() const { return lastDelay_; }
    int scheduleCount() const { return scheduleCount_; }

private:
    std::optional<double> lastDelay_;
    int scheduleCount_ = 0;
    Action pendingAction_;
};

} // namespace ulmaro
