#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Platform/ForwardingMainQueue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ulmaro {
namespace {

// Appends to one list from any thread, as the real queue runs tasks in the order posted.
struct SharedLog {
    std::mutex mutex;
    std::vector<std::pair<int, int>> entries; // (poster, sequence)
    void add(int poster, int sequence) {
        std::lock_guard lock(mutex);
        entries.emplace_back(poster, sequence);
    }
};

class ThreadSafeMainQueue final : public MainQueue {
public:
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    bool isCurrent() const override { return false; }
    void drain() {
        std::vector<Task> tasks;
        {
            std::lock_guard lock(mutex_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks)
            task();
    }

private:
    std::mutex mutex_;
    std::vector<Task> tasks_;
};

TEST(ForwardingMainQueue, WorkPostedBeforeAttachRunsFirstAndInOrderOnceAttached) {
    ForwardingMainQueue forwarding;
    std::vector<int> ran;
    forwarding.post([&] { ran.push_back(1); });
    forwarding.post([&] { ran.push_back(2); });
    auto target = std::make_shared<ManualMainQueue>();
    EXPECT_EQ(target->pending(), 0u);
    EXPECT_TRUE(ran.empty());

    forwarding.attach(target);
    forwarding.post([&] { ran.push_back(3); });
    EXPECT_TRUE(ran.empty()) << "attaching must hand work over, never run it inline";
    target->drain();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST(ForwardingMainQueue, PostsRacingAttachArriveOnceEachInEachPostersOrder) {
    constexpr int posters = 4;
    constexpr int perPoster = 2000;
    ForwardingMainQueue forwarding;
    auto target = std::make_shared<ThreadSafeMainQueue>();
    SharedLog log;
    std::atomic<int> started{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < posters; ++p)
        threads.emplace_back([&, p] {
            ++started;
            for (int i = 0; i < perPoster; ++i)
                forwarding.post([&log, p, i] { log.add(p, i); });
        });
    while (started.load() < posters)
        std::this_thread::yield();
    forwarding.attach(target);
    for (auto& thread : threads)
        thread.join();
    target->drain();

    std::map<int, int> next;
    for (const auto& [poster, sequence] : log.entries) {
        ASSERT_EQ(sequence, next[poster]) << "poster " << poster << " out of order or repeated";
        ++next[poster];
    }
    ASSERT_EQ(log.entries.size(), std::size_t(posters * perPoster));
}

TEST(ForwardingMainQueue, CurrentThreadIsTheMakersUntilAttachedThenTheTargets) {
    ForwardingMainQueue forwarding;
    const auto elsewhere = [&] {
        bool current = true;
        std::thread([&] { current = forwarding.isCurrent(); }).join();
        return current;
    };
    EXPECT_TRUE(forwarding.isCurrent());
    EXPECT_FALSE(elsewhere());

    forwarding.attach(std::make_shared<ThreadSafeMainQueue>()); // current on no thread
    EXPECT_FALSE(forwarding.isCurrent());
}

} // namespace
} // namespace ulmaro
