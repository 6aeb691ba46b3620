#include "UlmaroAppKit/Onboarding/BrandMarkTicker.h"

#include "UlmaroAppKit/Platform/TimerService.h"

namespace ulmaro {

BrandMarkTicker::BrandMarkTicker(std::shared_ptr<TimerService> timers, bool spinning,
                                 std::function<void(long long)> onStep)
    : timers_(std::move(timers)), spinning_(spinning), onStep_(std::move(onStep)) {}

BrandMarkTicker::~BrandMarkTicker() = default;

void BrandMarkTicker::appear() {
    if (!spinning_ || timer_) return;
    // The timer dies with the ticker, so the action never outlives `this`.
    timer_ = timers_->scheduleRepeating(Seconds(interval), [this] {
        ++step_;
        if (onStep_) onStep_(step_);
    });
}

void BrandMarkTicker::disappear() {
    if (!timer_) return;
    timer_->cancel();
    timer_.reset();
}

} // namespace ulmaro
