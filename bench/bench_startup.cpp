// Start-up of the index coordinator over a written 2,000,000-record synthetic index, against
// opening the index alone; the first answered search; and the first run on this machine.
//
//   bench_startup [--benchmark_repetitions=5] [--benchmark_filter=FirstRun]
// Cold figures: run as root with ULMARO_BENCH_COLD=1 (drops the page cache before each
// iteration). The synthetic index is cached under $ULMARO_BENCH_DIR (default
// /tmp/ulmaro-bench).

#include "SyntheticIndex.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/Platform/ThreadTimerService.h"
#include "UlmaroAppKit/Search/RemovedPaths.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace ulmaro;
using Steady = std::chrono::steady_clock;

constexpr std::size_t records = 2'000'000;

/// The synthetic index as "index.bin" in a folder of its own, with a small scan root beside.
struct Place {
    fs::path folder = bench::benchDirectory() / "startup";
    fs::path index = folder / "data" / "index.bin";
    fs::path root = folder / "root";

    Place() {
        bench::placeFreshSyntheticIndex(records, index);
        fs::create_directories(root);
    }
};

const Place& place() {
    static const Place p;
    return p;
}

void dropCachesWhenCold() {
    if (std::getenv("ULMARO_BENCH_COLD") == nullptr) return;
    ::sync();
    std::ofstream("/proc/sys/vm/drop_caches") << "3";
}

/// The coordinator with the application's real queues and clock; the main queue is drained
/// by the benchmark's thread.
struct App {
    ManualMainQueue main;
    SystemClock clock;
    ThreadTimerService timers{main};
    InMemorySettingsStore settings;
    ThreadSerialQueueFactory queues;
    IndexCoordinator coordinator;

    App(const fs::path& index, std::string root)
        : coordinator(
              index, [root] { return root; },
              [] { return ScanPolicy(ScanPolicy::defaultExclusions()); }, 86400,
              {main, clock, timers, settings, queues,
               queues.makeQueue("app.ulmaro.live-delta", QueueQuality::utility)}) {}

    /// Drains the main queue until `done` holds.
    template <typename Done>
    void runUntil(Done done) {
        while (!done()) {
            if (main.drain() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

void BM_LoadIndexAlone_2M(benchmark::State& state) {
    const Place& p = place();
    for (auto _ : state) {
        state.PauseTiming();
        dropCachesWhenCold();
        state.ResumeTiming();
        IndexLoadOutcome outcome = loadIndex(p.index);
        if (!outcome.isLoaded()) state.SkipWithError("the index does not load");
        benchmark::DoNotOptimize(outcome);
    }
}
BENCHMARK(BM_LoadIndexAlone_2M)->Unit(benchmark::kMillisecond)->UseRealTime();

// start() until `ready` is published with the store: everything the main thread does.
void BM_StartToReady_2M(benchmark::State& state) {
    const Place& p = place();
    for (auto _ : state) {
        state.PauseTiming();
        dropCachesWhenCold();
        auto app = std::make_unique<App>(p.index, p.root.string());
        bool ready = false;
        app->coordinator.onUpdate = [&](const IndexCoordinator::State& s,
                                        const IndexCoordinator::Store& store) {
            ready = ready || (std::holds_alternative<IndexCoordinator::Ready>(s) && store);
        };
        state.ResumeTiming();
        app->coordinator.start();
        if (!ready) state.SkipWithError("not ready after start()");
        state.PauseTiming();
        app.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToReady_2M)->Unit(benchmark::kMillisecond)->UseRealTime();

// start() until the first search through an engine built from the update has answered.
void BM_StartToFirstSearch_2M(benchmark::State& state) {
    const Place& p = place();
    for (auto _ : state) {
        state.PauseTiming();
        dropCachesWhenCold();
        auto app = std::make_unique<App>(p.index, p.root.string());
        std::shared_ptr<SearchEngine> engine;
        app->coordinator.onUpdate = [&](const IndexCoordinator::State&,
                                        const IndexCoordinator::Store& store) {
            if (!store) return;
            LiveDelta& delta = app->coordinator.liveDelta();
            engine = SearchEngine::make(
                {.store = store,
                 .deltaStore = delta.store(),
                 .removedPaths = std::make_shared<const RemovedPaths>(delta.removed())},
                app->queues, std::make_shared<SystemClock>());
        };
        std::mutex mutex;
        std::condition_variable answered;
        bool done = false;
        state.ResumeTiming();
        app->coordinator.start();
        if (!engine) {
            state.SkipWithError("no engine after start()");
            break;
        }
        engine->search("report", [&](SearchOutcome, std::int64_t) {
            std::lock_guard lock(mutex);
            done = true;
            answered.notify_one();
        });
        {
            std::unique_lock lock(mutex);
            answered.wait(lock, [&] { return done; });
        }
        state.PauseTiming();
        engine.reset();
        app.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFirstSearch_2M)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first run here, with no index: the time until the fast pass is served (its
// applications searchable), and until the whole-disk build is `ready`.
void BM_FirstRun(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = bench::benchDirectory() / "first-run";
        fs::remove_all(folder);
        dropCachesWhenCold();
        auto app = std::make_unique<App>(folder / "index.bin", "/");
        std::optional<Steady::duration> fastPass;
        const Steady::time_point began = Steady::now();
        app->coordinator.onUpdate = [&](const IndexCoordinator::State&,
                                        const IndexCoordinator::Store& store) {
            if (!fastPass && store) fastPass = Steady::now() - began;
        };
        state.ResumeTiming();
        app->coordinator.start();
        app->runUntil([&] {
            return std::holds_alternative<IndexCoordinator::Ready>(app->coordinator.state()) &&
                   !app->coordinator.isScanning();
        });
        state.PauseTiming();
        state.counters["fast_pass_ms"] =
            fastPass ? std::chrono::duration<double, std::milli>(*fastPass).count() : -1;
        state.counters["records"] =
            app->coordinator.store() ? static_cast<double>(app->coordinator.store()->count()) : 0;
        app.reset();
        fs::remove_all(folder);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
