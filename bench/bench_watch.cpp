// Putting watches on a large tree, the delay from a change to its signal, and the catch-up
// after a restart against the full rescan it saves.
//
//   bench_watch [--benchmark_repetitions=5]
// The 100,000-folder tree is built once per run in $ULMARO_BENCH_DIR, else the temporary
// folder, and removed after. The catch-up runs over a make-tree tree of 1,000,000 entries
// kept in $ULMARO_BENCH_DIR/catchup-1M (or the tree ULMARO_BENCH_TREE names) and its index;
// with ULMARO_BENCH_COLD=1, as root, the page cache is dropped before each iteration.

#include "MakeTree.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroKit/Index/AttributeCarryForward.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/InotifyTree.h"
#include "UlmaroKit/Scanning/AttributeFiller.h"
#include "UlmaroKit/Scanning/CatchUpSweep.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "UlmaroKit/Scanning/FileSystemWatcher.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <malloc.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ulmaro::FileSystemWatcher;
using ulmaro::FileSystemWatcherSignal;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t noHistory = std::numeric_limits<std::uint64_t>::max();

class ScratchTree {
public:
    // 10 × 10 × 10 folders, each holding 100 leaf folders: 101,110 folders with the root.
    explicit ScratchTree(bool large) {
        const char* base = std::getenv("ULMARO_BENCH_DIR");
        fs::path parent = base != nullptr ? fs::path(base) : fs::temp_directory_path();
        std::string pattern = (parent / "ulmaro-bench-watch-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
        root_ = pattern;
        if (!large) {
            fs::create_directories(root_ / "a" / "b");
            folders_ = 3;
            return;
        }
        folders_ = 1;
        std::string path;
        for (int a = 0; a < 10; ++a) {
            for (int b = 0; b < 10; ++b) {
                for (int c = 0; c < 10; ++c) {
                    auto mid = root_ / std::to_string(a) / std::to_string(b) / std::to_string(c);
                    fs::create_directories(mid);
                    for (int d = 0; d < 100; ++d) {
                        path = (mid / std::to_string(d)).string();
                        ::mkdir(path.c_str(), 0755);
                    }
                }
            }
        }
        folders_ = 0;
        for (auto it = fs::recursive_directory_iterator(root_); it != fs::end(it); ++it)
            ++folders_;
        ++folders_;
    }
    ~ScratchTree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    const fs::path& root() const { return root_; }
    std::size_t folders() const { return folders_; }

private:
    fs::path root_;
    std::size_t folders_ = 0;
};

ScratchTree& tree(bool large) {
    static ScratchTree small(false);
    if (!large) return small;
    static ScratchTree big(true);
    return big;
}

// Waits for signals on the watcher's thread.
struct Inbox {
    std::mutex lock;
    std::condition_variable arrived;
    int historyDone = 0;
    int changes = 0;
    Clock::time_point lastChange;

    FileSystemWatcher::SignalHandler handler() {
        return [this](const FileSystemWatcherSignal& signal) {
            auto now = Clock::now();
            std::lock_guard guard(lock);
            if (signal.kind() == FileSystemWatcherSignal::Kind::historyDone) ++historyDone;
            if (signal.kind() == FileSystemWatcherSignal::Kind::changedPaths) {
                ++changes;
                lastChange = now;
            }
            arrived.notify_all();
        };
    }
    template <typename Predicate>
    void wait(Predicate predicate) {
        std::unique_lock guard(lock);
        if (!arrived.wait_for(guard, std::chrono::minutes(2), predicate))
            throw std::runtime_error("no signal");
    }
};

// Heap bytes in use: unlike the resident size, it falls again when the watches go.
long heapBytes() {
    return static_cast<long>(::mallinfo2().uordblks);
}

// From start() until the watches are in place (the watcher's first delivery).
void BM_WatchTree(benchmark::State& state) {
    auto& scratch = tree(state.range(0) != 0);
    long heapDelta = 0;
    for (auto _ : state) {
        Inbox inbox;
        FileSystemWatcher watcher({scratch.root().string()}, noHistory, 2.0, inbox.handler());
        long before = heapBytes();
        watcher.start();
        inbox.wait([&] { return inbox.historyDone > 0; });
        heapDelta = heapBytes() - before;
        state.PauseTiming();
        watcher.stop();
        state.ResumeTiming();
    }
    state.counters["folders"] = static_cast<double>(scratch.folders());
    state.counters["heap_MiB"] = static_cast<double>(heapDelta) / (1024.0 * 1024.0);
    state.counters["heap_B_per_folder"] =
        static_cast<double>(heapDelta) / static_cast<double>(scratch.folders());
}
BENCHMARK(BM_WatchTree)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// A lone change after a quiet spell: from creating a file until `changedPaths` arrives.
void BM_ChangeToSignal(benchmark::State& state) {
    auto& scratch = tree(state.range(0) != 0);
    Inbox inbox;
    // The application's latency: the first change after a quiet spell must not wait for it.
    FileSystemWatcher watcher({scratch.root().string()}, noHistory, 0.05, inbox.handler());
    watcher.start();
    inbox.wait([&] { return inbox.historyDone > 0; });
    auto target = (scratch.root() / "touched").string();
    std::vector<double> delays;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(80)); // a quiet spell
        int seen;
        {
            std::lock_guard guard(inbox.lock);
            seen = inbox.changes;
        }
        auto start = Clock::now();
        int fd = ::open(target.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ::close(fd);
        inbox.wait([&] { return inbox.changes > seen; });
        std::chrono::duration<double> delay;
        {
            std::lock_guard guard(inbox.lock);
            delay = inbox.lastChange - start;
        }
        state.SetIterationTime(delay.count());
        delays.push_back(delay.count() * 1e6);
        ::unlink(target.c_str());
        inbox.wait([&] { return inbox.changes > seen + 1; });
    }
    watcher.stop();
    std::sort(delays.begin(), delays.end());
    state.counters["median_us"] = delays[delays.size() / 2];
    state.counters["p90_us"] = delays[delays.size() * 9 / 10];
}
BENCHMARK(BM_ChangeToSignal)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMicrosecond);

// The catch-up's world: a tree of a million entries, indexed with attributes, and the
// checkpoint ID taken after the index was written.
struct CatchUpWorld {
    fs::path root;
    fs::path index;
    std::shared_ptr<const ulmaro::IndexStore> store;
    std::uint64_t checkpoint = 0;
    ulmaro::ScanPolicy policy{ulmaro::ScanPolicy::defaultExclusions()};

    CatchUpWorld() {
        const char* base = std::getenv("ULMARO_BENCH_DIR");
        const fs::path folder =
            (base != nullptr ? fs::path(base) : fs::path("/tmp/ulmaro-bench")) / "catchup-1M";
        const char* given = std::getenv("ULMARO_BENCH_TREE");
        root = given != nullptr ? fs::path(given) : folder / "tree";
        index = folder / "index.bin";
        if (given == nullptr && !fs::exists(root / ".made")) {
            fs::remove_all(root);
            ulmaro::bench::TreeMaker(1).make(root, 1'000'000);
            std::ofstream(root / ".made") << "1";
        }
        fs::create_directories(folder);
        ulmaro::ScanResult scan =
            ulmaro::DirectoryScanner(policy, 3, 0, "/nonexistent").scan(root.string(), 0);
        ulmaro::AttributeFiller::fill(scan.builder, [] { return true; });
        const std::vector<ulmaro::VolumeEntry> volumes{{"bench", root.string(), 0, true}};
        ulmaro::IndexWriter::write(scan.builder, volumes, index);
        store = ulmaro::loadIndex(index).store;
        checkpoint = FileSystemWatcher::currentEventID();
    }
};

CatchUpWorld& catchUpWorld() {
    static CatchUpWorld world;
    return world;
}

void dropCachesWhenCold() {
    if (std::getenv("ULMARO_BENCH_COLD") == nullptr) return;
    ::sync();
    std::ofstream("/proc/sys/vm/drop_caches") << "3";
}

ulmaro::FileSystemWatcher::Replay sweepOver(const CatchUpWorld& world, std::size_t* found) {
    return [&world, found](std::uint64_t since, const std::atomic<bool>& cancel) {
        auto paths = ulmaro::CatchUpSweep::changesSince(*world.store, world.root.string(),
                                                        world.policy, since, {}, &cancel);
        *found = paths ? paths->size() : static_cast<std::size_t>(-1);
        return paths;
    };
}

// A restart with nothing changed since the checkpoint: from the watcher's start to its
// `historyDone`, watches and replay together.
void BM_CatchUpStartToHistoryDone_1M(benchmark::State& state) {
    CatchUpWorld& world = catchUpWorld();
    std::size_t found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dropCachesWhenCold();
        Inbox inbox;
        FileSystemWatcher::Options options;
        options.replay = sweepOver(world, &found);
        FileSystemWatcher watcher({world.root.string()}, world.checkpoint, 2.0, inbox.handler(),
                                  options);
        state.ResumeTiming();
        watcher.start();
        inbox.wait([&] { return inbox.historyDone > 0; });
        state.PauseTiming();
        watcher.stop();
        state.ResumeTiming();
    }
    state.counters["replayed"] = static_cast<double>(found);
    state.counters["records"] = static_cast<double>(world.store->count());
}
BENCHMARK(BM_CatchUpStartToHistoryDone_1M)->Unit(benchmark::kMillisecond)->UseRealTime();

// The sweep alone; with an argument, after that many new files in 100 folders.
void BM_CatchUpSweep_1M(benchmark::State& state) {
    CatchUpWorld& world = catchUpWorld();
    const auto changes = static_cast<int>(state.range(0));
    std::vector<fs::path> made;
    if (changes > 0) {
        std::vector<fs::path> folders;
        for (auto it = fs::recursive_directory_iterator(world.root);
             it != fs::end(it) && folders.size() < 100; ++it)
            if (it->is_directory() && !it->is_symlink()) folders.push_back(it->path());
        for (int i = 0; i < changes; ++i) {
            std::string name = "bench-new-";
            name += std::to_string(i);
            made.push_back(folders[static_cast<std::size_t>(i) % folders.size()] / name);
            std::ofstream(made.back()) << "x";
        }
    }
    std::size_t found = 0;
    const std::atomic<bool> never{false};
    for (auto _ : state) {
        state.PauseTiming();
        dropCachesWhenCold();
        state.ResumeTiming();
        auto paths = ulmaro::CatchUpSweep::changesSince(*world.store, world.root.string(),
                                                        world.policy, world.checkpoint, {}, &never);
        found = paths ? paths->size() : static_cast<std::size_t>(-1);
    }
    for (const auto& path : made)
        fs::remove(path);
    state.counters["replayed"] = static_cast<double>(found);
}
BENCHMARK(BM_CatchUpSweep_1M)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the catch-up saves: the full rescan with attributes carried from the served index.
void BM_FullRescanCarried_1M(benchmark::State& state) {
    CatchUpWorld& world = catchUpWorld();
    const ulmaro::DirectoryScanner scanner(world.policy, 3, 0.1, "/nonexistent");
    for (auto _ : state) {
        state.PauseTiming();
        dropCachesWhenCold();
        state.ResumeTiming();
        ulmaro::ScanResult scan = scanner.scan(world.root.string(), 0);
        ulmaro::AttributeCarryForward::carry(*world.store, scan.builder);
        ulmaro::AttributeFiller::fill(
            scan.builder, [] { return true; }, true, ulmaro::AttributeFiller::Appetite::working);
        benchmark::DoNotOptimize(scan.builder.records.data());
    }
}
BENCHMARK(BM_FullRescanCarried_1M)->Unit(benchmark::kMillisecond)->UseRealTime();

// The watches this machine's "/" takes with the application's policy, with and without
// skipping the folders whose changes are dropped, against the kernel's budget.
void BM_WatchesForRoot(benchmark::State& state) {
    const ulmaro::ScanPolicy policy = ulmaro::IndexCoordinator::effectivePolicy(
        "/",
        ulmaro::ScanPolicy::fullDisk(std::getenv("HOME") ? std::getenv("HOME") : "/root", false));
    const std::string catalogs = "/nonexistent-catalogs";
    std::size_t skipping = 0;
    std::size_t all = 0;
    for (auto _ : state) {
        // One after the other: the budget is the user's, shared by both.
        ulmaro::InotifyChanges changes;
        {
            ulmaro::InotifyTree lean(0, nullptr, [&](const std::string& folder) {
                return ulmaro::IndexCoordinator::dropsEverythingInside(folder, policy, catalogs);
            });
            lean.addRoot("/", changes);
            skipping = lean.watchCount();
        }
        ulmaro::InotifyTree full;
        full.addRoot("/", changes);
        all = full.watchCount();
    }
    long budget = 0;
    std::ifstream("/proc/sys/fs/inotify/max_user_watches") >> budget;
    state.counters["watches"] = static_cast<double>(skipping);
    state.counters["watches_unskipped"] = static_cast<double>(all);
    state.counters["kernel_budget"] = static_cast<double>(budget);
}
BENCHMARK(BM_WatchesForRoot)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
