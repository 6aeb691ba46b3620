// Attribute filling and carry-forward over a synthetic tree of about 1.1 M entries
// (101,110 folders and 1,000,000 files below its root), created once under $ULMARO_BENCH_TREE
// (default /tmp/ulmaro-bench-attributes) and reused while its "complete" marker exists.
#include "UlmaroKit/Index/AttributeCarryForward.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Scanning/AttributeFiller.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ulmaro;

// Folders per level below the root, and files in the folders of levels 4 and 5.
constexpr int fanOut[] = {10, 10, 10, 10, 9};
constexpr int levels = 5;
constexpr int filesPerLeaf = 10;

std::string treeRoot() {
    const char* env = std::getenv("ULMARO_BENCH_TREE");
    return env != nullptr ? env : "/tmp/ulmaro-bench-attributes";
}

void name(char kind, int i, char* out) {
    std::snprintf(out, 16, "%c%03d%s", kind, i, kind == 'f' ? ".dat" : "");
}

// The folders of the tree in creation order, each with its level.
struct Folder {
    std::string path;
    int level;
};

std::vector<Folder> folders(const std::string& root) {
    std::vector<Folder> out{{root, 0}};
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i].level == levels) continue;
        for (int d = 0; d < fanOut[out[i].level]; ++d) {
            char n[16];
            name('d', d, n);
            out.push_back({out[i].path + "/" + n, out[i].level + 1});
        }
    }
    return out;
}

void makeTree(const std::string& root) {
    if (std::filesystem::exists(root + "/complete")) return;
    std::fprintf(stderr, "creating the benchmark tree under %s ...\n", root.c_str());
    std::filesystem::remove_all(root);
    auto all = folders(root);
    for (const auto& f : all)
        std::filesystem::create_directories(f.path);
    parallelFor(all.size(), [&](std::size_t i) {
        if (all[i].level < levels - 1) return;
        for (int k = 0; k < filesPerLeaf; ++k) {
            char n[16];
            name('f', k, n);
            std::string p = all[i].path + "/" + n;
            int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0) throw std::runtime_error("cannot create " + p);
            if (::ftruncate(fd, static_cast<off_t>((i * 131 + k * 977) % 200'000)) != 0)
                throw std::runtime_error("cannot size " + p);
            ::close(fd);
        }
    });
    std::FILE* marker = std::fopen((root + "/complete").c_str(), "w");
    if (marker != nullptr) std::fclose(marker);
}

// The records a scan of the tree gives, built without reading the disk: the root chain,
// then every folder's entries, parents first.
IndexBuilder layout(const std::string& root) {
    IndexBuilder b(1'200'000, 16 << 20);
    std::uint32_t parent = b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    for (std::size_t at = 1; at < root.size();) {
        std::size_t end = std::min(root.find('/', at), root.size());
        parent = b.addEntry(root.substr(at, end - at), parent, RecordFlags::isDirectory, 0);
        at = end + 1;
    }
    struct Pending {
        std::uint32_t id;
        int level;
    };
    std::vector<Pending> queue{{parent, 0}};
    for (std::size_t i = 0; i < queue.size(); ++i) {
        auto [id, level] = queue[i];
        char n[16];
        if (level < levels) {
            for (int d = 0; d < fanOut[level]; ++d) {
                name('d', d, n);
                queue.push_back({b.addEntry(n, id, RecordFlags::isDirectory, 0), level + 1});
            }
        }
        if (level >= levels - 1) {
            for (int k = 0; k < filesPerLeaf; ++k) {
                name('f', k, n);
                b.addEntry(n, id, {}, 0);
            }
        }
    }
    return b;
}

struct Fixture {
    std::string root = treeRoot();
    IndexBuilder unfilled;
    IndexBuilder filled;
    std::shared_ptr<const IndexStore> previous;

    Fixture() {
        makeTree(root);
        unfilled = layout(root);
        filled = unfilled;
        AttributeFiller::fill(filled, [] { return true; });
        IndexWriter::write(filled, {}, root + ".previous.bin");
        previous = IndexStore::open(root + ".previous.bin");
    }
    static Fixture& shared() {
        static Fixture f;
        return f;
    }
};

void BM_Fill(benchmark::State& state) {
    auto& f = Fixture::shared();
    auto appetite = static_cast<AttributeFiller::Appetite>(state.range(0));
    state.SetLabel(
        std::string(appetite == AttributeFiller::Appetite::watching ? "watching" : "working") +
        ", " + std::to_string(AttributeFiller::threadCount(appetite, activeProcessorCount())) +
        " threads");
    for (auto _ : state) {
        state.PauseTiming();
        IndexBuilder b = f.unfilled;
        state.ResumeTiming();
        AttributeFiller::fill(
            b, [] { return true; }, false, appetite);
        benchmark::DoNotOptimize(b.records.data());
    }
    state.counters["entries"] = static_cast<double>(f.unfilled.records.size());
}
BENCHMARK(BM_Fill)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

DirectoryScanner scanner() {
    return DirectoryScanner(ScanPolicy(ScanPolicy::defaultExclusions()), 3, 0.1, "");
}

void BM_Scan(benchmark::State& state) {
    auto& f = Fixture::shared();
    auto walker = scanner();
    for (auto _ : state) {
        auto result = walker.scan(f.root, 0);
        benchmark::DoNotOptimize(result.builder.records.data());
    }
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a catalog scan or a first full index pays for names, sizes and dates.
void BM_ScanAndFill(benchmark::State& state) {
    auto& f = Fixture::shared();
    auto walker = scanner();
    std::size_t entries = 0;
    for (auto _ : state) {
        auto result = walker.scan(f.root, 0);
        AttributeFiller::fill(result.builder, [] { return true; });
        entries = result.builder.records.size();
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_ScanAndFill)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CarryForwardUnchanged(benchmark::State& state) {
    auto& f = Fixture::shared();
    std::int64_t carried = 0;
    for (auto _ : state) {
        state.PauseTiming();
        IndexBuilder b = f.unfilled;
        state.ResumeTiming();
        carried = AttributeCarryForward::carry(*f.previous, b);
    }
    state.counters["carried"] = static_cast<double>(carried);
}
BENCHMARK(BM_CarryForwardUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FillOnlyMissingAfterCarry(benchmark::State& state) {
    auto& f = Fixture::shared();
    for (auto _ : state) {
        state.PauseTiming();
        IndexBuilder b = f.unfilled;
        AttributeCarryForward::carry(*f.previous, b);
        state.ResumeTiming();
        AttributeFiller::fill(
            b, [] { return true; }, true);
    }
}
BENCHMARK(BM_FillOnlyMissingAfterCarry)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
