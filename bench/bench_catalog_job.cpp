// A new drive's catalog, from `catalogDrive` to its entry in the library, against the core's
// `CatalogScanner::scan` alone over the same tree ("ratio" of the medians). The main queue is
// drained on the benchmark's thread, each task timed: "maxMainTaskMs" is the longest one of
// the job (`catalogDrive` itself and the library's reload included). ULMARO_BENCH_TREE names an
// existing tree (one million entries made by make-tree); otherwise a tree of 200000 entries is
// generated in a temporary folder.
#include "MakeTree.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using namespace ulmaro;
namespace fs = std::filesystem;

class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "ulmaro-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        folder_ = pattern;
        if (const char* given = std::getenv("ULMARO_BENCH_TREE")) {
            tree_ = given;
        } else {
            tree_ = folder_ / "tree";
            bench::TreeMaker(1).make(tree_, 200000);
        }
        // The first reading of new folders also stamps their access times.
        CatalogScanner::scan(tree_.string(), "BENCH", folder_ / "warm.bin",
                             ScanPolicy(ScanPolicy::defaultExclusions()),
                             AttributeFiller::Appetite::working, [] { return true; });
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    const fs::path& folder() const { return folder_; }
    const fs::path& tree() const { return tree_; }

private:
    fs::path folder_;
    fs::path tree_;
};

const Scratch& scratch() {
    static Scratch instance;
    return instance;
}

/// A main queue whose tasks run on the thread that waits for them, each one timed.
class TimedMainQueue final : public MainQueue {
public:
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ready_.notify_one();
    }
    bool isCurrent() const override { return std::this_thread::get_id() == owner_; }

    template <class Done>
    void runUntil(Done done) {
        while (!done()) {
            Task task;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return !tasks_.empty(); });
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            const auto start = std::chrono::steady_clock::now();
            task();
            longest = std::max(longest, std::chrono::steady_clock::now() - start);
        }
    }

    std::chrono::steady_clock::duration longest{};

private:
    std::thread::id owner_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Task> tasks_;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Each iteration scans the tree alone, then catalogues it through the coordinator, so that
// both see the same load; the reported time is the coordinator's.
void BM_CatalogDriveAgainstScanAlone(benchmark::State& state) {
    TimedMainQueue mainQueue;
    SystemClock clock;
    ThreadSerialQueueFactory queues;
    CatalogLayout layout(scratch().folder() / "Catalogs");
    CatalogLibrary library(layout);
    Preferences preferences(std::make_shared<InMemorySettingsStore>());
    MountedVolume volume;
    volume.uuid = "BENCH";
    volume.mountPath = scratch().tree().string();
    volume.name = "Bench";
    CatalogCoordinator coordinator(library, preferences, [&] { return std::vector{volume}; },
                                   86400.0,
                                   {.mainQueue = mainQueue, .clock = clock, .queues = queues});
    library.updateMounted({volume});
    const fs::path alone = scratch().folder() / "alone.bin";

    std::vector<double> scanMs, driveMs;
    std::chrono::steady_clock::duration longest{};
    std::int64_t files = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        CatalogScanner::scan(volume.mountPath, "BENCH", alone,
                             ScanPolicy(ScanPolicy::defaultExclusions()),
                             AttributeFiller::Appetite::working, [] { return true; });
        scanMs.push_back(millisecondsSince(start));

        start = std::chrono::steady_clock::now();
        const auto result = coordinator.catalogDrive(volume);
        mainQueue.longest = std::chrono::steady_clock::now() - start;
        const std::string id = std::get<CatalogCoordinator::Started>(result).id;
        mainQueue.runUntil([&] { return library.entry(id) != nullptr; });
        driveMs.push_back(millisecondsSince(start));
        state.SetIterationTime(driveMs.back() / 1000);

        longest = std::max(longest, mainQueue.longest);
        files = library.entry(id)->info.fileCount;
        fs::remove_all(layout.root());
        library.reloadAll();
    }
    state.counters["files"] = static_cast<double>(files);
    state.counters["scanAloneMs"] = median(scanMs);
    state.counters["catalogDriveMs"] = median(driveMs);
    state.counters["ratio"] = median(driveMs) / median(scanMs);
    state.counters["maxMainTaskMs"] = std::chrono::duration<double, std::milli>(longest).count();
}
BENCHMARK(BM_CatalogDriveAgainstScanAlone)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(7);

} // namespace

BENCHMARK_MAIN();
