// The engine's smaller roads:
//
//   frecency     boostSnapshot of a full store (5000 paths), and the open of a 5001st path,
//                which trims the store to 4500
//   boosted      one search of a small index with and without a frecency boost of every
//                row, in pairs: the difference is what the boosted relevance sort adds to
//                a keystroke (the row count is the engine's, about 250)
//   seed         the first run's suggestions over 2,000,000 synthetic records
//
// Run with --benchmark_repetitions and read the medians.

#include "SyntheticIndex.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroAppKit/Search/SuggestionSeeder.h"
#include "UlmaroAppKit/Text/TextFormat.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <optional>

namespace {

using namespace ulmaro;

constexpr const char* key = "app.ulmaro.frecency";

/// A settings store holding `count` paths opened over the last 60 days.
std::shared_ptr<InMemorySettingsStore> storedFrecency(std::size_t count, WallTime now) {
    nlohmann::json stored = nlohmann::json::object();
    const double seconds = secondsSinceReferenceDate(now);
    for (std::size_t i = 0; i < count; ++i)
        stored["/home/user/Documents/project-" + std::to_string(i % 97) + "/file-" +
               std::to_string(i) + ".pdf"] = {{"c", 1 + i % 9},
                                              {"t", seconds - static_cast<double>(i % 60) * 86400}};
    auto settings = std::make_shared<InMemorySettingsStore>();
    settings->setData(key, stored.dump());
    return settings;
}

void BM_FrecencyBoostSnapshot(benchmark::State& state) {
    const auto clock = std::make_shared<ManualClock>();
    FrecencyStore store(storedFrecency(FrecencyStore::pruneLimit, clock->now()), key, clock, clock);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.boostSnapshot(clock->now()));
    state.counters["paths"] = static_cast<double>(store.count());
}
BENCHMARK(BM_FrecencyBoostSnapshot)->Unit(benchmark::kMillisecond);

void BM_FrecencyPruneFrom5001(benchmark::State& state) {
    const auto clock = std::make_shared<ManualClock>();
    const auto settings = storedFrecency(FrecencyStore::pruneLimit, clock->now());
    std::optional<FrecencyStore> store;
    for (auto _ : state) {
        // A fresh full store each time, made and dropped with the timer paused; its
        // pending write never runs.
        state.PauseTiming();
        store.emplace(settings, key, clock, clock);
        state.ResumeTiming();
        store->recordOpen("/home/user/new.pdf", clock->now());
    }
    state.counters["kept"] = static_cast<double>(store ? store->count() : 0);
}
BENCHMARK(BM_FrecencyPruneFrom5001)->Unit(benchmark::kMillisecond);

// A search of a small index, so that the sort's share stands out; "e" matches enough
// names to fill the rank window.
void BM_BoostedKeystroke(benchmark::State& state) {
    const bool boosted = state.range(0) != 0;
    static const auto store = bench::cachedSyntheticStore(20'000, 5);
    ManualSerialQueueFactory queues;
    const auto clock = std::make_shared<ManualClock>();
    SearchEngine::Inputs inputs{.store = store};
    // Every row lifted by a different amount: the sort moves most of them.
    inputs.frecencyBoost = [boosted](std::string_view path) {
        return boosted ? static_cast<double>(std::hash<std::string_view>{}(path) % 41) : 0.0;
    };
    const auto engine = SearchEngine::make(std::move(inputs), queues, clock);
    std::int64_t rows = 0;
    for (auto _ : state) {
        const SearchOutcome outcome = engine->run("e");
        rows = outcome.resultsIfAny()
                   ? static_cast<std::int64_t>(outcome.resultsIfAny()->rows.size())
                   : 0;
        benchmark::DoNotOptimize(outcome);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_BoostedKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SeedSuggestions(benchmark::State& state) {
    const auto store = bench::cachedSyntheticStore(2'000'000);
    // The synthetic home is "/home/user"; its well-known folders by their English names.
    const std::vector<SuggestionSeeder::WellKnownFolder> folders{
        {"/home/user/Desktop", 1}, {"/home/user/Documents", 1}, {"/home/user/Downloads", 1},
        {"/home/user/Movies", 2},  {"/home/user/Music", 2},     {"/home/user/Pictures", 2}};
    std::size_t rows = 0;
    for (auto _ : state) {
        const SuggestionSeeder::Suggestions suggestions = SuggestionSeeder::seed(*store, folders);
        rows = suggestions.rows.size();
        benchmark::DoNotOptimize(suggestions);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_SeedSuggestions)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
