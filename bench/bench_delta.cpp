// Rebuilding the live delta from a snapshot of changed paths to the mapped store, over a
// generated tree (bench/MakeTree.h) of 20,000 entries in a temporary folder, warm. The
// whole build (`rebuild`) and its parts: the stats (one thread), the sort, the records
// (sort, stats on the pool and folders together), the write with and without its two
// fsyncs, and the reopen with its checksum pass. `apply` is the cost of one batch of changes.
#include "MakeTree.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Indexing/LiveDelta.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <sys/resource.h>

namespace {

using namespace ulmaro;
namespace fs = std::filesystem;

constexpr std::uint64_t treeEntries = 20000;

class Fixture {
public:
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "ulmaro-bench-delta-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        root_ = pattern;
        bench::TreeMaker(7).make(root_ / "tree", treeEntries);
        for (auto it = fs::recursive_directory_iterator(root_ / "tree");
             it != fs::recursive_directory_iterator(); ++it)
            all_.push_back(it->path().string());
        std::sort(all_.begin(), all_.end());
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // `count` changed paths spread evenly over the tree.
    LiveDelta::Entries snapshot(std::size_t count) const {
        LiveDelta::Entries entries;
        const std::size_t n = std::min(count, all_.size());
        for (std::size_t i = 0; i < n; ++i)
            entries.emplace(all_[i * all_.size() / n], i + 1);
        return entries;
    }
    std::vector<std::string> paths(std::size_t count) const {
        std::vector<std::string> out;
        for (const auto& [path, sequence] : snapshot(count))
            out.push_back(path);
        return out;
    }
    fs::path deltaPath() const { return root_ / "delta.bin"; }
    fs::path indexPath() const { return root_ / "index.bin"; }
    std::size_t size() const { return all_.size(); }

private:
    fs::path root_;
    std::vector<std::string> all_;
};

const Fixture& fixture() {
    static Fixture instance;
    return instance;
}

// CPU time of every thread of the process, so that the pool's share shows beside wall time
// on a busy machine.
double processCpuMilliseconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void counters(benchmark::State& state, std::size_t paths) {
    state.counters["paths"] = static_cast<double>(paths);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths));
}

void BM_DeltaRebuild(benchmark::State& state) {
    const auto entries = fixture().snapshot(std::size_t(state.range(0)));
    const double cpuBefore = processCpuMilliseconds();
    for (auto _ : state) {
        auto store = LiveDelta::build(entries, fixture().deltaPath());
        if (!store) state.SkipWithError("no store");
        benchmark::DoNotOptimize(store.get());
    }
    state.counters["cpu_ms_all_threads"] =
        (processCpuMilliseconds() - cpuBefore) / double(state.iterations());
    counters(state, entries.size());
}

void BM_DeltaStats(benchmark::State& state) {
    const auto paths = fixture().paths(std::size_t(state.range(0)));
    for (auto _ : state) {
        struct stat st;
        for (const auto& path : paths)
            benchmark::DoNotOptimize(::lstat(path.c_str(), &st));
    }
    counters(state, paths.size());
}

void BM_DeltaSort(benchmark::State& state) {
    const auto entries = fixture().snapshot(std::size_t(state.range(0)));
    for (auto _ : state) {
        std::vector<std::string_view> keys;
        keys.reserve(entries.size());
        for (const auto& [path, sequence] : entries)
            keys.push_back(path);
        std::sort(keys.begin(), keys.end());
        benchmark::DoNotOptimize(keys.data());
    }
    counters(state, entries.size());
}

void BM_DeltaRecords(benchmark::State& state) {
    const auto entries = fixture().snapshot(std::size_t(state.range(0)));
    std::size_t records = 0;
    const double cpuBefore = processCpuMilliseconds();
    for (auto _ : state) {
        IndexBuilder builder = LiveDelta::records(entries);
        records = builder.count();
        benchmark::DoNotOptimize(builder.records.data());
    }
    state.counters["cpu_ms_all_threads"] =
        (processCpuMilliseconds() - cpuBefore) / double(state.iterations());
    counters(state, entries.size());
    state.counters["records"] = static_cast<double>(records);
}

// `synced` (range 1) is the write with its two fsyncs; the delta writes without them.
void BM_DeltaWrite(benchmark::State& state) {
    const auto entries = fixture().snapshot(std::size_t(state.range(0)));
    const IndexBuilder builder = LiveDelta::records(entries);
    const std::array volumes{VolumeEntry{"delta", "/", 0, true}};
    const auto durability = state.range(1) != 0 ? Durability::synced : Durability::unsynced;
    for (auto _ : state)
        IndexWriter::write(builder, volumes, fixture().deltaPath(), durability);
    counters(state, entries.size());
    state.counters["bytes"] = static_cast<double>(fs::file_size(fixture().deltaPath()));
}

void BM_DeltaReopen(benchmark::State& state) {
    const auto entries = fixture().snapshot(std::size_t(state.range(0)));
    const IndexBuilder builder = LiveDelta::records(entries);
    const std::array volumes{VolumeEntry{"delta", "/", 0, true}};
    IndexWriter::write(builder, volumes, fixture().deltaPath());
    for (auto _ : state) {
        auto store = IndexStore::open(fixture().deltaPath());
        benchmark::DoNotOptimize(store.get());
    }
    counters(state, entries.size());
}

void BM_DeltaApply(benchmark::State& state) {
    const auto paths = fixture().paths(std::size_t(state.range(0)));
    ManualMainQueue mainQueue;
    auto queue = std::make_shared<ManualSerialQueue>("live-delta", QueueQuality::utility);
    for (auto _ : state) {
        state.PauseTiming();
        auto delta = std::make_unique<LiveDelta>(fixture().indexPath(), 20000, queue, mainQueue);
        state.ResumeTiming();
        delta->apply(paths);
        benchmark::DoNotOptimize(delta->nextSequence());
        state.PauseTiming();
        delta.reset();
        state.ResumeTiming();
    }
    counters(state, paths.size());
}

#define DELTA_SIZES ->Arg(100)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_DeltaRebuild) DELTA_SIZES;
BENCHMARK(BM_DeltaStats) DELTA_SIZES;
BENCHMARK(BM_DeltaSort) DELTA_SIZES;
BENCHMARK(BM_DeltaRecords) DELTA_SIZES;
BENCHMARK(BM_DeltaWrite)
    ->ArgsProduct({{100, 20000}, {1, 0}})
    ->ArgNames({"paths", "synced"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DeltaReopen) DELTA_SIZES;
BENCHMARK(BM_DeltaApply) DELTA_SIZES;

} // namespace

BENCHMARK_MAIN();
