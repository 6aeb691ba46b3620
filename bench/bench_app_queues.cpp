// How long an interactive task (a search) waits before it starts on its serial queue,
// with the worker pool idle and with a utility task (a scan) whose parallelFor keeps
// every worker and its own thread spinning. Run under `taskset -c 0-2` (or any set) to
// choose the pool's size; the busy case then occupies every allowed processor.
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace ulmaro {
namespace {

using Clock = std::chrono::steady_clock;

void BM_InteractiveStartDelay(benchmark::State& state) {
    const bool busyPool = state.range(0) != 0;
    ThreadSerialQueueFactory factory;
    auto scan = factory.makeQueue("bench.scan", QueueQuality::utility);
    auto search = factory.makeQueue("bench.search", QueueQuality::interactive);
    const unsigned threads = WorkerPool::shared().threadCount();
    std::atomic<unsigned> spinning{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> scanDone{!busyPool};
    if (busyPool) {
        scan->async([&] {
            parallelFor(threads, [&](std::size_t) {
                spinning.fetch_add(1);
                while (!stop.load(std::memory_order_relaxed)) {
                }
            });
            scanDone = true;
            scanDone.notify_all();
        });
        while (spinning.load() < threads) {
        }
    }

    std::vector<double> delays;
    for (auto _ : state) {
        std::atomic<bool> started{false};
        Clock::time_point startedAt;
        const auto submittedAt = Clock::now();
        search->async([&] {
            startedAt = Clock::now();
            started = true;
            started.notify_all();
        });
        started.wait(false);
        const double delay = std::chrono::duration<double>(startedAt - submittedAt).count();
        delays.push_back(delay);
        state.SetIterationTime(delay);
    }

    stop = true;
    scanDone.wait(false);
    std::sort(delays.begin(), delays.end());
    if (!delays.empty()) {
        state.counters["median_us"] = delays[delays.size() / 2] * 1e6;
        state.counters["p99_us"] = delays[delays.size() * 99 / 100] * 1e6;
        state.counters["max_us"] = delays.back() * 1e6;
    }
    state.counters["pool_threads"] = threads;
}

BENCHMARK(BM_InteractiveStartDelay)
    ->ArgName("busy_pool")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace ulmaro

BENCHMARK_MAIN();
