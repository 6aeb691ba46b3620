#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadTimerService.h"
#include "support/WaitFor.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace ulmaro {
namespace {

using test::waitFor;

// The same timers on a service; `handles` keeps them alive.
void scheduleScenario(TimerService& timers, std::vector<std::unique_ptr<Timer>>& handles,
                      std::vector<std::string>& fired) {
    handles.push_back(timers.scheduleOnce(Seconds(0.3), [&] { fired.push_back("late"); }));
    handles.push_back(timers.scheduleOnce(Seconds(0.05), [&] {
        fired.push_back("early");
        // Scheduled while firing: due at once, so before "late".
        handles.push_back(timers.scheduleOnce(Seconds(0), [&] { fired.push_back("chained"); }));
    }));
    handles.push_back(timers.scheduleOnce(Seconds(0.05), [&] { fired.push_back("tie"); }));
    handles.push_back(timers.scheduleOnce(Seconds(-1), [&] { fired.push_back("now"); }));
    handles.push_back(timers.scheduleOnce(Seconds(0.1), [&] { fired.push_back("cancelled"); }));
    handles.back()->cancel();
    handles.push_back(timers.scheduleOnce(Seconds(0.1), [&] { fired.push_back("dropped"); }));
    handles.back().reset();
}

TEST(TimerService, RealTimersFireInTheFakesOrderOnTheMainQueue) {
    std::vector<std::string> virtualOrder;
    {
        ManualClock clock;
        std::vector<std::unique_ptr<Timer>> handles;
        scheduleScenario(clock, handles, virtualOrder);
        clock.advance(Seconds(1));
    }
    EXPECT_EQ(virtualOrder, (std::vector<std::string>{"now", "early", "tie", "chained", "late"}));

    ManualMainQueue main;
    ThreadTimerService timers(main);
    std::vector<std::string> realOrder;
    std::vector<std::unique_ptr<Timer>> handles;
    scheduleScenario(timers, handles, realOrder);
    // Drained as it fills, the way an event loop runs.
    ASSERT_TRUE(waitFor([&] {
        main.drain();
        return realOrder.size() >= 5;
    }));
    EXPECT_EQ(realOrder, virtualOrder);
}

TEST(TimerService, CancelAfterFiringStillStopsTheAction) {
    ManualMainQueue main;
    ThreadTimerService timers(main);
    int ran = 0;
    auto timer = timers.scheduleOnce(Seconds(0), [&] { ++ran; });
    ASSERT_TRUE(waitFor([&] { return main.pending() == 1; }));
    EXPECT_EQ(ran, 0) << "actions run only on the main queue";
    timer->cancel();
    main.drain();
    EXPECT_EQ(ran, 0);
}

TEST(TimerService, RepeatingTimerSkipsWhileTheMainQueueLagsAndStopsWhenCancelled) {
    ManualMainQueue main;
    ThreadTimerService timers(main);
    int ticks = 0;
    std::unique_ptr<Timer> timer;
    timer = timers.scheduleRepeating(Seconds(0.005), [&] {
        if (++ticks == 3) timer.reset(); // a timer may end itself from its action
    });
    ASSERT_TRUE(waitFor([&] { return main.pending() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // ten intervals
    EXPECT_EQ(main.pending(), 1u) << "one firing waits; the missed ones are skipped";
    ASSERT_TRUE(waitFor([&] {
        main.drain();
        return ticks == 3;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    main.drain();
    EXPECT_EQ(ticks, 3);
}

TEST(TimerService, DestroyingTheServiceCancelsWhatWaitsOnTheMainQueue) {
    ManualMainQueue main;
    int ran = 0;
    std::unique_ptr<Timer> timer;
    {
        ThreadTimerService timers(main);
        timer = timers.scheduleOnce(Seconds(0), [&] { ++ran; });
        ASSERT_TRUE(waitFor([&] { return main.pending() == 1; }));
    }
    main.drain();
    EXPECT_EQ(ran, 0);
    timer.reset(); // a handle may outlive its service
}

TEST(TimerService, RepeatingIntervalsUnderAMillisecondCountAsOne) {
    ManualClock clock;
    int ticks = 0;
    auto zero = clock.scheduleRepeating(Seconds(0), [&] { ++ticks; });
    auto nan = clock.scheduleRepeating(Seconds(std::numeric_limits<double>::quiet_NaN()),
                                       [&] { ++ticks; });
    clock.advance(Seconds(0.0105));
    EXPECT_EQ(ticks, 20);
}

TEST(SystemClock, WallAndMonotonicClocksAdvance) {
    SystemClock clock;
    auto mono = clock.monotonicNow();
    auto wall = clock.now();
    EXPECT_GE(clock.monotonicNow(), mono);
    EXPECT_GT(wall, WallTime{} + std::chrono::hours(24 * 365 * 50));
}

} // namespace
} // namespace ulmaro
