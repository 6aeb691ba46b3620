// Ranking cost over a synthetic index in scan order: a tree of folders (some demoted, some
// applications) with their files, and matches in record order as the matcher returns them.
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Search/Ranker.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using namespace ulmaro;

constexpr std::size_t recordCount = 1'200'000;

struct Fixture {
    std::shared_ptr<const IndexStore> store;
    std::vector<Match> matches; // one per non-root record, in ID order

    Fixture() {
        std::mt19937 rng(42);
        IndexBuilder b(recordCount, recordCount * 12);
        const char* dirNames[] = {"src",  "Documents", "node_modules", "lib",   "Photos",
                                  "2024", "build",     "Caches",       "notes", "assets"};
        // In scan order: each folder's entries together, folders visited breadth first.
        std::vector<std::uint32_t> pending{
            b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0)};
        for (std::size_t next = 0; b.count() < recordCount; ++next) {
            const auto parent = pending[next % pending.size()];
            for (std::size_t i = 0, subfolders = 1 + rng() % 4; i < subfolders; ++i) {
                const bool app = rng() % 200 == 0;
                RecordFlags flags = RecordFlags::isDirectory;
                if (app) flags |= RecordFlags::isApp;
                if (rng() % 30 == 0) flags |= RecordFlags::isHidden;
                const std::string name = app ? "Tool" + std::to_string(b.count()) + ".app"
                                             : std::string(dirNames[rng() % 10]);
                pending.push_back(b.addEntry(name, parent, flags, 0));
            }
            for (std::size_t i = 0, files = 4 + rng() % 20; i < files; ++i)
                b.addEntry("file" + std::to_string(b.count()) + ".txt", parent, {}, 0);
        }
        const auto dir = std::filesystem::temp_directory_path() /
                         ("ulmaro-bench-rank-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        IndexWriter::write(b, {}, dir / "index.bin");
        store = IndexStore::open(dir / "index.bin"); // the mapping outlives the name
        std::filesystem::remove_all(dir);

        for (std::uint32_t id = 1; id < store->count(); ++id) {
            const auto r = rng() % 100;
            const auto q = r < 1    ? MatchQuality::exact
                           : r < 5  ? MatchQuality::prefix
                           : r < 15 ? MatchQuality::wordBoundary
                                    : MatchQuality::substring;
            matches.push_back({id, q, static_cast<std::int32_t>(rng() % 12)});
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

/// Matches spread evenly over the index, as a narrower query would give. With `allSubstring`
/// no bucket but the substring one is filled, so every match is scored.
std::vector<Match> sample(std::size_t n, bool allSubstring) {
    const auto& all = fixture().matches;
    std::vector<Match> out;
    out.reserve(n);
    const double step = static_cast<double>(all.size()) / static_cast<double>(n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(all[static_cast<std::size_t>(i * step)]);
    if (allSubstring)
        for (auto& m : out)
            m.quality = MatchQuality::substring;
    return out;
}

// A ranker that lives across keystrokes: its ancestor cache is warm.
void BM_RankWarm(benchmark::State& state) {
    const auto matches = sample(static_cast<std::size_t>(state.range(0)), state.range(2) != 0);
    Ranker ranker(fixture().store);
    ranker.rank(matches, state.range(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(ranker.rank(matches, state.range(1)));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A new ranker each time: includes filling the ancestor cache.
void BM_RankCold(benchmark::State& state) {
    const auto matches = sample(static_cast<std::size_t>(state.range(0)), state.range(2) != 0);
    for (auto _ : state) {
        Ranker ranker(fixture().store);
        benchmark::DoNotOptimize(ranker.rank(matches, state.range(1)));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"matches", "limit", "allSubstring"});
    for (std::int64_t allSubstring : {0, 1})
        for (std::int64_t n : {10'000, 100'000, 1'000'000})
            for (std::int64_t limit : {20, 200})
                b->Args({n, limit, allSubstring});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_RankWarm)->Apply(args);
BENCHMARK(BM_RankCold)->Apply(args);

} // namespace

BENCHMARK_MAIN();
