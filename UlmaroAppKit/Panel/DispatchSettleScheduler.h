#pragma once

#include "UlmaroAppKit/Panel/SettleScheduling.h"
#include "UlmaroAppKit/Platform/TimerService.h"

#include <memory>

namespace ulmaro {

/// The settle scheduler of the application: a one-shot timer on the main queue.
class DispatchSettleScheduler final : public SettleScheduling {
public:
    explicit DispatchSettleScheduler(std::shared_ptr<TimerService> timers);

    void schedule(double delaySeconds, Action action) override;
    void cancel() override;

private:
    std::shared_ptr<TimerService> timers_;
    std::unique_ptr<Timer> pendingTask_;
};

} // namespace ulmaro
