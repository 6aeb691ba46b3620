#pragma once

#include <functional>
#include <memory>

namespace ulmaro {

class Timer;
class TimerService;

/// When the mark ticks: a spinning mark on screen steps every 0.4 s. Coming on screen
/// starts the one repeating tick when the mark spins and none runs; leaving the screen
/// cancels it and keeps the step, so the mark goes on from where it was. Changing
/// `spinning` while on screen starts or stops nothing. Main thread only.
class BrandMarkTicker {
public:
    static constexpr double interval = 0.4;

    /// `onStep` runs after each tick with the new step.
    BrandMarkTicker(std::shared_ptr<TimerService> timers, bool spinning,
                    std::function<void(long long step)> onStep = {});
    ~BrandMarkTicker();
    BrandMarkTicker(const BrandMarkTicker&) = delete;
    BrandMarkTicker& operator=(const BrandMarkTicker&) = delete;

    void appear();
    void disappear();
    void setSpinning(bool spinning) { spinning_ = spinning; }

    bool spinning() const { return spinning_; }
    long long step() const { return step_; }
    bool isTicking() const { return static_cast<bool>(timer_); }

private:
    std::shared_ptr<TimerService> timers_;
    bool spinning_;
    std::function<void(long long)> onStep_;
    long long step_ = 0;
    std::unique_ptr<Timer> timer_;
};

} // namespace ulmaro
