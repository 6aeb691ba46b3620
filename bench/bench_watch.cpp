// Putting watches on a large tree, and the delay from a change to its signal.
//
//   bench_watch [--benchmark_repetitions=5]
// The 100,000-folder tree is built once per run in $ULMARO_BENCH_DIR, else the temporary
// folder, and removed after.

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

} // namespace

BENCHMARK_MAIN();
