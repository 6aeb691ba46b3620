#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualSettleScheduler.h"
#include "UlmaroAppKit/Panel/DispatchSettleScheduler.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace std::chrono_literals;

TEST(DispatchSettleScheduler, ALaterScheduleReplacesTheEarlierOne) {
    auto clock = std::make_shared<ManualClock>();
    DispatchSettleScheduler settle(clock);
    std::vector<std::string> ran;
    settle.schedule(1.2, [&] { ran.push_back("first"); });
    clock->advance(0.5s);
    settle.schedule(1.2, [&] { ran.push_back("second"); });
    clock->advance(1.19s);
    EXPECT_TRUE(ran.empty());
    clock->advance(0.01s);
    EXPECT_EQ(ran, std::vector<std::string>{"second"});
    clock->advance(10s);
    EXPECT_EQ(ran.size(), 1u);
}

TEST(DispatchSettleScheduler, CancelledActionsNeverRun) {
    auto clock = std::make_shared<ManualClock>();
    DispatchSettleScheduler settle(clock);
    int ran = 0;
    settle.schedule(1.2, [&] { ++ran; });
    clock->advance(0.5s);
    settle.cancel();
    settle.cancel();
    clock->advance(5s);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(clock->activeTimers(), 0u);
}

TEST(DispatchSettleScheduler, ANegativeDelayRunsOnTheNextTurnAndAnActionMayScheduleAgain) {
    auto clock = std::make_shared<ManualClock>();
    DispatchSettleScheduler settle(clock);
    int ran = 0;
    settle.schedule(-3, [&] {
        ++ran;
        settle.schedule(1, [&] { ran += 10; });
    });
    EXPECT_EQ(ran, 0) << "never inside schedule";
    clock->advance(0s);
    EXPECT_EQ(ran, 1);
    clock->advance(1s);
    EXPECT_EQ(ran, 11);
}

TEST(ManualSettleScheduler, RecordsAndRunsOnlyWhenFired) {
    ManualSettleScheduler settle;
    EXPECT_FALSE(settle.lastDelay());
    int ran = 0;
    settle.schedule(1.2, [&] { ++ran; });
    settle.schedule(0.7, [&] { ran += 10; });
    settle.cancel();
    EXPECT_EQ(settle.scheduleCount(), 2);
    EXPECT_EQ(settle.lastDelay(), 0.7);
    EXPECT_FALSE(settle.hasPending());
    settle.fire();
    EXPECT_EQ(ran, 0);

    settle.schedule(1, [&] {
        ++ran;
        settle.schedule(2, [&] { ran += 100; });
    });
    settle.fire();
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(settle.hasPending());
    settle.fire();
    EXPECT_EQ(ran, 101);
}

} // namespace
} // namespace ulmaro
