#pragma once

#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/TimerService.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace ulmaro {

/// Virtual time for tests: both clocks stand still until `advance` moves them, and timers
/// fire during `advance`, on the caller's thread, in order of their due time (ties in the
/// order they were scheduled). Single-threaded, like the main queue it stands for.
class ManualClock final : public Clock, public TimerService {
public:
    /// Starts at 2026-01-01 00:00:00 UTC unless told otherwise.
    explicit ManualClock(WallTime start = defaultStart());

    WallTime now() const override { return wall_; }
    MonotonicTime monotonicNow() const override { return mono_; }

    std::unique_ptr<Timer> scheduleOnce(Seconds delay, Action action) override;
    std::unique_ptr<Timer> scheduleRepeating(Seconds interval, Action action) override;

    /// Moves both clocks forward, firing every timer that comes due on the way; a timer
    /// scheduled by a firing timer fires too when it falls inside the step.
    void advance(Seconds by);
    /// Moves the wall clock alone (the user changed the date); no timer fires.
    void setWallTime(WallTime time) { wall_ = time; }
    /// Timers scheduled and not yet cancelled or spent.
    std::size_t activeTimers() const;

    static WallTime defaultStart();

private:
    struct Entry;
    class Handle;
    std::vector<std::shared_ptr<Entry>> timers_;
    WallTime wall_;
    MonotonicTime mono_{};
    std::uint64_t nextOrder_ = 0;
};

} // namespace ulmaro
