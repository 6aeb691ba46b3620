#include "UlmaroAppKit/Panel/DispatchSettleScheduler.h"

namespace ulmaro {

DispatchSettleScheduler::DispatchSettleScheduler(std::shared_ptr<TimerService> timers)
    : timers_(std::move(timers)) {}

void DispatchSettleScheduler::schedule(double delaySeconds, Action action) {
    cancel();
    const double delay = delaySeconds > 0 ? delaySeconds : 0; // NaN too
    pendingTask_ = timers_->scheduleOnce(Seconds(delay), std::move(action));
}

void DispatchSettleScheduler::cancel() {
    if (auto task = std::move(pendingTask_)) task->cancel();
}

} // namespace ulmaro
