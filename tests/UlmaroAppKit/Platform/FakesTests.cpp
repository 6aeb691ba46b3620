#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Platform/Observable.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

TEST(ManualMainQueue, DrainsInOrderIncludingWorkPostedWhileDraining) {
    ManualMainQueue queue;
    std::string seen;
    queue.post([&] {
        seen += "a";
        queue.post([&] { seen += "c"; });
    });
    queue.post([&] { seen += "b"; });
    EXPECT_TRUE(queue.isCurrent());
    EXPECT_EQ(seen, "");
    EXPECT_EQ(queue.drain(), 3u);
    EXPECT_EQ(seen, "abc");
}

TEST(ManualSerialQueueFactory, DrainAllReachesWorkHandedBetweenQueues) {
    ManualSerialQueueFactory factory;
    auto a = factory.makeQueue("a", QueueQuality::interactive);
    auto global = factory.globalUtility();
    EXPECT_EQ(global, factory.globalUtility());
    std::string seen;
    a->async([&] {
        global->async([&] { seen += "g"; });
        seen += "a";
    });
    EXPECT_EQ(factory.drainAll(), 2u);
    EXPECT_EQ(seen, "ag");
    EXPECT_EQ(a->label(), "a");
}

TEST(ManualClock, FiresTimersInVirtualTimeOrder) {
    ManualClock clock;
    std::vector<std::string> fired;
    auto start = clock.monotonicNow();
    auto late = clock.scheduleOnce(Seconds(2.0), [&] { fired.push_back("late"); });
    auto early = clock.scheduleOnce(Seconds(0.5), [&] { fired.push_back("early"); });
    auto tie = clock.scheduleOnce(Seconds(0.5), [&] { fired.push_back("tie"); });
    std::unique_ptr<Timer> chained;
    auto repeating = clock.scheduleRepeating(Seconds(1.0), [&] {
        fired.push_back("tick");
        if (!chained)
            chained = clock.scheduleOnce(Seconds(0.25), [&] { fired.push_back("chained"); });
    });
    auto negative = clock.scheduleOnce(Seconds(-3), [&] { fired.push_back("now"); });
    clock.advance(Seconds(2.1));
    EXPECT_EQ(fired,
              (std::vector<std::string>{"now", "early", "tie", "tick", "chained", "late", "tick"}));
    EXPECT_EQ(clock.monotonicNow() - start,
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(Seconds(2.1)));
}

TEST(ManualClock, CancelledOrDestroyedTimersNeverFire) {
    ManualClock clock;
    int fired = 0;
    auto a = clock.scheduleOnce(Seconds(1), [&] { ++fired; });
    auto b = clock.scheduleRepeating(Seconds(1), [&] { ++fired; });
    a->cancel();
    b.reset();
    std::unique_ptr<Timer> self;
    self = clock.scheduleRepeating(Seconds(1), [&] {
        ++fired;
        self.reset();
    });
    clock.advance(Seconds(5));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST(Observable, SubscribersRunAfterEachChangeUntilUnsubscribed) {
    Observable<int> value(1);
    std::vector<int> seen;
    auto sub = value.subscribe([&](const int& v) { seen.push_back(v); });
    Subscription second;
    second = value.subscribe([&](const int&) { second.reset(); });
    value.set(2);
    value.set(2);
    sub.reset();
    value.set(3);
    EXPECT_EQ(seen, (std::vector<int>{2, 2}));
    EXPECT_EQ(value.get(), 3);
}

TEST(SettingsStore, TypedReadsAnswerOnlyTheirOwnType) {
    InMemorySettingsStore store;
    store.setBool("b", true);
    store.setInt("i", -5);
    store.setDouble("d", 1.5);
    store.setString("s", "x");
    store.setStringList("l", {"a", "b"});
    store.setValue("mixed", nlohmann::json::array({"a", 1}));
    store.setValue("huge", nlohmann::json(18446744073709551615ull));
    EXPECT_EQ(store.boolValue("b"), true);
    EXPECT_EQ(store.boolValue("i"), std::nullopt);
    EXPECT_EQ(store.intValue("i"), -5);
    EXPECT_EQ(store.intValue("d"), std::nullopt);
    EXPECT_EQ(store.intValue("huge"), std::nullopt);
    EXPECT_EQ(store.doubleValue("i"), -5.0);
    EXPECT_EQ(store.stringValue("s"), "x");
    EXPECT_EQ(store.dataValue("s"), "x");
    EXPECT_EQ(store.stringListValue("l"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(store.stringListValue("mixed"), std::nullopt);
    EXPECT_TRUE(store.contains("mixed"));
    store.remove("mixed");
    EXPECT_FALSE(store.contains("mixed"));
}

} // namespace
} // namespace ulmaro
