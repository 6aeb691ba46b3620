#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/TimerService.h"

#include <memory>

namespace ulmaro {

/// Timers kept by a thread of their own, which posts each action to a main queue when it
/// comes due; the action then runs there, unless its timer was cancelled meanwhile. Due
/// times are on the monotonic clock. A repeating timer keeps its cadence (due times are
/// whole intervals from the start), and one whose last firing has not yet run on the main
/// queue skips rather than piling up; intervals under a millisecond count as one. Destroying
/// the service cancels every timer.
class ThreadTimerService final : public TimerService {
public:
    /// `mainQueue` must outlive the service and every posted action.
    explicit ThreadTimerService(MainQueue& mainQueue);
    ~ThreadTimerService() override;
    ThreadTimerService(const ThreadTimerService&) = delete;
    ThreadTimerService& operator=(const ThreadTimerService&) = delete;

    std::unique_ptr<Timer> scheduleOnce(Seconds delay, Action action) override;
    std::unique_ptr<Timer> scheduleRepeating(Seconds interval, Action action) override;

private:
    struct State;
    struct Entry;
    class Handle;
    std::unique_ptr<Timer> schedule(Seconds delay, Seconds interval, bool repeating, Action action);
    std::shared_ptr<State> state_;
};

} // namespace ulmaro
