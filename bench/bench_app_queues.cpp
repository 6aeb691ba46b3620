// How long an interactive task (a search) waits before it starts on its serial queue,
// with the worker pool idle and with a utility task (a scan) whose parallelFor keeps
// every worker and its own thread spinning; and how long the search's own parallelFor
// then takes. Run under `taskset -c 0-2` (or any set) to choose the pool's size; the busy
// case then occupies every allowed processor.
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

// A scan's loop that keeps every worker, and the scan queue's thread, spinning until the
// value dies.
class BusyPool {
public:
    BusyPool(SerialQueueFactory& factory, bool busy) : done_(!busy) {
        if (!busy) return;
        scan_ = factory.makeQueue("bench.scan", QueueQuality::utility);
        scan_->async([this] {
            parallelFor(threads(), [this](std::size_t) {
                spinning_.fetch_add(1);
                while (!stop_.load(std::memory_order_relaxed)) {
                }
            });
            done_ = true;
            done_.notify_all();
        });
        while (spinning_.load() < threads()) {
        }
    }
    ~BusyPool() {
        stop_ = true;
        done_.wait(false);
    }
    static unsigned threads() { return WorkerPool::shared().threadCount(); }

private:
    std::shared_ptr<SerialQueue> scan_;
    std::atomic<unsigned> spinning_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_;
};

// Runs `work` on a fresh interactive task and waits for it; returns when it started.
template <class Work>
Clock::time_point runOn(SerialQueue& queue, Work&& work) {
    std::atomic<bool> finished{false};
    Clock::time_point startedAt;
    queue.async([&] {
        startedAt = Clock::now();
        work();
        finished = true;
        finished.notify_all();
    });
    finished.wait(false);
    return startedAt;
}

void reportMedians(benchmark::State& state, std::vector<double>& samples) {
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) return;
    state.counters["median_us"] = samples[samples.size() / 2] * 1e6;
    state.counters["p99_us"] = samples[samples.size() * 99 / 100] * 1e6;
    state.counters["pool_threads"] = BusyPool::threads();
}

// Submits `work` to an interactive queue once per iteration, beside an idle or a busy
// pool (the argument), and records the wait before it started or the whole round trip.
template <class Work>
void measure(benchmark::State& state, bool untilStart, Work work) {
    ThreadSerialQueueFactory factory;
    BusyPool pool(factory, state.range(0) != 0);
    auto search = factory.makeQueue("bench.search", QueueQuality::interactive);
    std::vector<double> samples;
    for (auto _ : state) {
        const auto submittedAt = Clock::now();
        const auto startedAt = runOn(*search, work);
        const auto end = untilStart ? startedAt : Clock::now();
        const double seconds = std::chrono::duration<double>(end - submittedAt).count();
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    reportMedians(state, samples);
}

void BM_InteractiveStartDelay(benchmark::State& state) {
    measure(state, true, [] {});
}

// The search's own loop: 64 slices of about 20 µs each. With the pool busy it gets no
// helpers, since the scan's loop holds every worker until all of its iterations are taken.
void BM_InteractiveLoopDuration(benchmark::State& state) {
    measure(state, false, [] {
        parallelFor(64, [](std::size_t) {
            auto until = Clock::now() + std::chrono::microseconds(20);
            while (Clock::now() < until) {
            }
        });
    });
}

void idleAndBusyPool(benchmark::internal::Benchmark* b) {
    b->ArgName("busy_pool")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_InteractiveStartDelay)->Apply(idleAndBusyPool)->Iterations(2000);
BENCHMARK(BM_InteractiveLoopDuration)->Apply(idleAndBusyPool)->Iterations(300);

} // namespace
} // namespace ulmaro

BENCHMARK_MAIN();
