#include "UlmaroKit/Platform/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace ulmaro {
namespace {

TEST(WorkerPool, RunsEveryIterationOnceForManySizes) {
    WorkerPool pool(4);
    for (std::size_t n : {0u, 1u, 2u, 3u, 7u, 1000u}) {
        std::vector<std::atomic<int>> hits(n);
        pool.parallelFor(n, [&](std::size_t i) { hits[i].fetch_add(1); });
        for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(hits[i].load(), 1) << n << " " << i;
    }
}

TEST(WorkerPool, NestedLoopsAndConcurrentCallersFinish) {
    WorkerPool pool(3);
    std::atomic<int> total{0};
    auto body = [&] {
        pool.parallelFor(8, [&](std::size_t) {
            pool.parallelFor(8, [&](std::size_t) { total.fetch_add(1); });
        });
    };
    std::thread a(body), b(body);
    a.join();
    b.join();
    EXPECT_EQ(total.load(), 2 * 64);
}

TEST(WorkerPool, RespectsThreadLimit) {
    WorkerPool pool(8);
    std::mutex m;
    std::set<std::thread::id> seen;
    pool.parallelFor(200, [&](std::size_t) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::lock_guard lock(m);
        seen.insert(std::this_thread::get_id());
    }, 2);
    EXPECT_LE(seen.size(), 2u);
}

TEST(WorkerPool, RethrowsTheFirstErrorAfterJoining) {
    WorkerPool pool(4);
    std::atomic<int> ran{0};
    EXPECT_THROW(pool.parallelFor(100, [&](std::size_t i) {
        ran.fetch_add(1);
        if (i == 5) throw std::runtime_error("boom");
    }), std::runtime_error);
    // The pool is still usable afterwards.
    std::atomic<int> after{0};
    pool.parallelFor(10, [&](std::size_t) { after.fetch_add(1); });
    EXPECT_EQ(after.load(), 10);
}

TEST(WorkerPool, SharedPoolMatchesAffinity) {
    EXPECT_EQ(WorkerPool::shared().threadCount(), activeProcessorCount());
    EXPECT_GE(activeProcessorCount(), 1u);
}

} // namespace
} // namespace ulmaro
