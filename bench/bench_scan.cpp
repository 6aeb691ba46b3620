// Scanning a generated tree (bench/MakeTree.h). ULMARO_BENCH_TREE names an existing tree
// (for instance one million entries made by make-tree); otherwise a tree of 200000 entries
// is generated in a temporary folder. Thread counts follow the CPU affinity: compare
// `taskset -c 0`, `-c 0-1`, `-c 0-3`, `-c 0-7`.
#include "MakeTree.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

namespace {

using namespace ulmaro;

class GeneratedTree {
public:
    GeneratedTree() {
        if (const char* given = std::getenv("ULMARO_BENCH_TREE")) {
            root_ = given;
            return;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "ulmaro-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        owned_ = pattern;
        root_ = owned_ / "tree";
        bench::TreeMaker(1).make(root_, 200000);
        // The first reading of new folders also stamps their access times; measure the
        // warm scans that follow.
        DirectoryScanner(ScanPolicy(ScanPolicy::PathSet{}), 3, 0, "").scan(root_.string(), 0);
    }
    ~GeneratedTree() {
        std::error_code ec;
        if (!owned_.empty()) std::filesystem::remove_all(owned_, ec);
    }
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path owned_;
    std::filesystem::path root_;
};

const GeneratedTree& tree() {
    static GeneratedTree instance;
    return instance;
}

void scanWithSeedDepth(benchmark::State& state) {
    const DirectoryScanner scanner(ScanPolicy(ScanPolicy::defaultExclusions()),
                                   static_cast<int>(state.range(0)), 0.1, "/nonexistent");
    const std::string root = tree().root().string(); // made before the clock starts
    std::int64_t entries = 0;
    for (auto _ : state) {
        ScanResult result = scanner.scan(root, 0);
        entries = result.entriesScanned;
        benchmark::DoNotOptimize(result.builder.records.data());
    }
    state.SetItemsProcessed(state.iterations() * entries);
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(scanWithSeedDepth)->Arg(3)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void scanWithProgress(benchmark::State& state) {
    const DirectoryScanner scanner(ScanPolicy(ScanPolicy::defaultExclusions()), 3, 0.1,
                                   "/nonexistent");
    const std::string root = tree().root().string();
    std::int64_t entries = 0;
    for (auto _ : state) {
        ScanResult result = scanner.scan(
            root, 0, [](std::int64_t count) { benchmark::DoNotOptimize(count); },
            [] { return true; });
        entries = result.entriesScanned;
    }
    state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(scanWithProgress)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
