#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "support/WaitFor.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ulmaro {
namespace {

using test::waitFor;

struct ManualQueues {
    ManualSerialQueueFactory factory;
    bool settle(const std::function<bool()>& done) {
        factory.drainAll();
        return done();
    }
};

struct ThreadQueues {
    ThreadSerialQueueFactory factory;
    bool settle(const std::function<bool()>& done) { return waitFor(done); }
};

template <class Queues>
class SerialQueueBehaviour : public ::testing::Test {
protected:
    Queues queues;
};

using Implementations = ::testing::Types<ManualQueues, ThreadQueues>;
TYPED_TEST_SUITE(SerialQueueBehaviour, Implementations);

// A log that several queues may write at once.
struct Log {
    std::mutex mutex;
    std::vector<std::string> lines;
    void add(std::string line) {
        std::lock_guard lock(mutex);
        lines.push_back(std::move(line));
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return lines;
    }
    std::size_t size() { return snapshot().size(); }
};

TYPED_TEST(SerialQueueBehaviour, OneTaskAtATimeInOrderWithWorkSubmittedWhileRunning) {
    auto queue = this->queues.factory.makeQueue("app.ulmaro.test", QueueQuality::interactive);
    EXPECT_EQ(queue->label(), "app.ulmaro.test");
    EXPECT_EQ(queue->quality(), QueueQuality::interactive);
    Log log;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false}, allSubmitted{false};
    for (int i = 0; i < 50; ++i) {
        queue->async([&, i] {
            if (running.fetch_add(1) != 0) overlapped = true;
            if (i == 0) {
                while (!allSubmitted)
                    std::this_thread::yield();
                queue->async([&] { log.add("later"); });
            }
            log.add(std::to_string(i));
            running.fetch_sub(1);
        });
    }
    allSubmitted = true;
    ASSERT_TRUE(this->queues.settle([&] { return log.size() == 51; }));
    auto lines = log.snapshot();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], std::to_string(i));
    EXPECT_EQ(lines.back(), "later");
    EXPECT_FALSE(overlapped);
}

TYPED_TEST(SerialQueueBehaviour, WorkHandedBetweenQueuesAndTheGlobalUtilityQueue) {
    auto global = this->queues.factory.globalUtility();
    EXPECT_EQ(global, this->queues.factory.globalUtility());
    EXPECT_EQ(global->quality(), QueueQuality::utility);
    auto search = this->queues.factory.makeQueue("search", QueueQuality::interactive);
    Log log;
    search->async([&] {
        log.add("search");
        global->async([&] {
            log.add("global");
            search->async([&] { log.add("back"); });
        });
    });
    ASSERT_TRUE(this->queues.settle([&] { return log.size() == 3; }));
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"search", "global", "back"}));
}

TEST(ThreadSerialQueue, OneGlobalUtilityQueueForTheProcess) {
    ThreadSerialQueueFactory a, b;
    EXPECT_EQ(a.globalUtility(), b.globalUtility());
}

TEST(ThreadSerialQueue, InteractiveTaskRunsWhileAUtilityLoopHoldsEveryWorker) {
    ThreadSerialQueueFactory factory;
    auto scan = factory.makeQueue("scan", QueueQuality::utility);
    auto search = factory.makeQueue("search", QueueQuality::interactive);
    const unsigned threads = WorkerPool::shared().threadCount();
    std::atomic<unsigned> busy{0};
    std::atomic<bool> released{false}, scanDone{false};
    scan->async([&] {
        // Every iteration holds its thread until the search has run: were the search to
        // need one of these threads, this would never end.
        parallelFor(threads, [&](std::size_t) {
            busy.fetch_add(1);
            while (!released)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        });
        scanDone = true;
    });
    ASSERT_TRUE(waitFor([&] { return busy == threads; }));
    search->async([&] { released = true; });
    EXPECT_TRUE(waitFor([&] { return scanDone.load(); }));
    released = true; // lets the loop end should the check above have failed
    waitFor([&] { return scanDone.load(); });
}

TEST(ThreadSerialQueue, DestroyingAQueueDropsWhatHasNotStartedAndNeverWaits) {
    ThreadSerialQueueFactory factory;
    auto queue = factory.makeQueue("dropped", QueueQuality::utility);
    std::atomic<bool> started{false}, release{false}, finished{false}, ranLater{false};
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    queue->async([&] {
        started = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        finished = true;
    });
    queue->async([&, token] { ranLater = true; });
    token.reset();
    ASSERT_TRUE(waitFor([&] { return started.load(); }));
    queue.reset(); // returns while the first task still runs
    EXPECT_TRUE(watch.expired()) << "a dropped task's captures are released at once";
    EXPECT_FALSE(finished);
    release = true;
    ASSERT_TRUE(waitFor([&] { return finished.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(ranLater);
}

TEST(ThreadSerialQueue, ATaskMayDropTheLastReferenceToItsOwnQueue) {
    ThreadSerialQueueFactory factory;
    auto queue = factory.makeQueue("self", QueueQuality::utility);
    std::atomic<bool> go{false}, done{false}, ranAfter{false};
    auto* slot = &queue;
    queue->async([slot, &go, &done] {
        while (!go)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        slot->reset();
        done = true;
    });
    queue->async([&] { ranAfter = true; });
    go = true;
    ASSERT_TRUE(waitFor([&] { return done.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(ranAfter);
}

} // namespace
} // namespace ulmaro
