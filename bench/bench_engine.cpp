// The search engine against the bare core it is built on, on the synthetic index of
// 2,000,000 records: each keystroke of a typed word and a few multi-word and filter
// queries, submitted to the engine's queue and timed until the completion runs.
//
//   core      SearchSession::search + Ranker::rank (the rank window) on the main index;
//             match_ms and rank_ms are its two parts, matches the names that matched
//   engine    main index alone
//   engine+   with a 20,000-record delta, 2,000 removed paths and two 200,000-record
//             catalogs (one mounted elsewhere, one away)
//   cold      the first search of a freshly built engine (or a fresh session and ranker)
//   sync      the engine's steps called on the benchmark's thread, without the queue
//
// Core and engine are timed in pairs; each reports its median and their ratio.

#include "SyntheticIndex.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Search/Ranker.h"
#include "UlmaroKit/Search/SearchSession.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace ulmaro;

struct Inputs {
    std::shared_ptr<const IndexStore> main = bench::cachedSyntheticStore(2'000'000);
    std::shared_ptr<const IndexStore> delta = bench::cachedSyntheticStore(20'000, 2);
    std::shared_ptr<const IndexStore> photos = bench::cachedSyntheticStore(200'000, 3);
    std::shared_ptr<const IndexStore> archive = bench::cachedSyntheticStore(200'000, 4);
    std::shared_ptr<const RemovedPaths> removed = [this] {
        // Folders and files of the main index, spread over it.
        std::vector<std::string> paths;
        const PathResolver resolver(*main);
        for (std::uint32_t id = 3; paths.size() < 2000; id += 997)
            paths.push_back(*resolver.rawAbsolutePath(id));
        return std::make_shared<const RemovedPaths>(paths);
    }();

    SearchEngine::Inputs engine(bool everything, SortOrder order) const {
        SearchEngine::Inputs in{.store = main, .sortOrder = order};
        in.frecencyBoost = [](std::string_view) { return 0.0; };
        if (!everything) return in;
        in.deltaStore = delta;
        in.removedPaths = removed;
        in.catalogs = {{.id = "photos",
                        .name = "Photos",
                        .store = photos,
                        .currentRoot = "/media/photos",
                        .recordedRoot = "/home"},
                       {.id = "archive",
                        .name = "Archive",
                        .store = archive,
                        .currentRoot = std::nullopt,
                        .recordedRoot = "/home"}};
        return in;
    }
};

const Inputs& inputs() {
    static const Inputs in;
    return in;
}

ThreadSerialQueueFactory& queues() {
    static ThreadSerialQueueFactory q;
    return q;
}

std::shared_ptr<SearchEngine> makeEngine(bool everything, SortOrder order) {
    return SearchEngine::make(inputs().engine(everything, order), queues(),
                              std::make_shared<SystemClock>());
}

/// Submits and waits for the completion; the outcome's row count.
std::size_t await(SearchEngine& engine, const std::string& text) {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::size_t rows = 0;
    engine.search(text, [&](SearchOutcome outcome, std::int64_t) {
        std::lock_guard lock(mutex);
        if (const auto* results = outcome.resultsIfAny()) rows = results->rows.size();
        finished = true;
        done.notify_one();
    });
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    return rows;
}

using Steady = std::chrono::steady_clock;

double seconds(Steady::time_point from) {
    return std::chrono::duration<double>(Steady::now() - from).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The text one keystroke earlier, searched untimed first: a session then narrows from it
// the way it does while the user types, and never answers from its memory of the text.
std::string previous(const std::string& text) {
    return text.substr(0, text.size() - 1);
}

/// The bare core: a session and a ranker over the main index.
struct Core {
    SearchSession session{inputs().main};
    Ranker ranker{inputs().main};
    /// The last keystroke's parts: matching, ranking, and how many names matched.
    double matchTime = 0;
    double rankTime = 0;
    std::size_t matches = 0;

    double keystroke(const std::string& text) {
        session.search(previous(text));
        const auto start = Steady::now();
        const auto found = session.search(text);
        matchTime = seconds(start);
        const auto ranking = Steady::now();
        benchmark::DoNotOptimize(
            ranker.rank(*found, SearchEngine::rankWindow(SearchEngine::defaultResultLimit)));
        rankTime = seconds(ranking);
        matches = found->size();
        return seconds(start);
    }
};

double engineKeystroke(SearchEngine& engine, const std::string& text, std::size_t& rows,
                       bool throughQueue) {
    if (!throughQueue) {
        // The engine's own steps on this thread: no queue hop, no thread to wake.
        engine.run(previous(text));
        const auto start = Steady::now();
        const SearchOutcome outcome = engine.run(text);
        const double took = seconds(start);
        rows = outcome.resultsIfAny() != nullptr ? outcome.resultsIfAny()->rows.size() : 0;
        return took;
    }
    await(engine, previous(text));
    const auto start = Steady::now();
    rows = await(engine, text);
    return seconds(start);
}

// The machine is shared, so core and engine are timed in pairs, in alternating order, and
// each side reports its median; `ratio` is engine over core.
void report(benchmark::State& state, const std::vector<double>& core,
            const std::vector<double>& engine, std::size_t rows) {
    const double c = median(core);
    const double e = median(engine);
    state.counters["core_ms"] = c * 1e3;
    state.counters["engine_ms"] = e * 1e3;
    state.counters["ratio"] = c > 0 ? e / c : 0;
    state.counters["rows"] = static_cast<double>(rows);
}

void keystroke(benchmark::State& state, std::string text, bool everything, SortOrder order,
               bool throughQueue = true) {
    Core core;
    const auto engine = makeEngine(everything, order);
    std::vector<double> coreTimes;
    std::vector<double> engineTimes;
    std::vector<double> matchTimes;
    std::vector<double> rankTimes;
    std::size_t rows = 0;
    bool engineFirst = false;
    for (auto _ : state) {
        double c = 0;
        double e = 0;
        if (engineFirst) e = engineKeystroke(*engine, text, rows, throughQueue);
        c = core.keystroke(text);
        if (!engineFirst) e = engineKeystroke(*engine, text, rows, throughQueue);
        engineFirst = !engineFirst;
        coreTimes.push_back(c);
        engineTimes.push_back(e);
        matchTimes.push_back(core.matchTime);
        rankTimes.push_back(core.rankTime);
        state.SetIterationTime(e);
    }
    report(state, coreTimes, engineTimes, rows);
    state.counters["match_ms"] = median(matchTimes) * 1e3;
    state.counters["rank_ms"] = median(rankTimes) * 1e3;
    state.counters["matches"] = static_cast<double>(core.matches);
}

void cold(benchmark::State& state, std::string text, bool everything) {
    std::vector<double> coreTimes;
    std::vector<double> engineTimes;
    std::size_t rows = 0;
    for (auto _ : state) {
        Core core;
        const auto c0 = Steady::now();
        const auto matches = core.session.search(text);
        benchmark::DoNotOptimize(
            core.ranker.rank(*matches, SearchEngine::rankWindow(SearchEngine::defaultResultLimit)));
        coreTimes.push_back(seconds(c0));

        auto engine = makeEngine(everything, SortOrder::relevance);
        const auto e0 = Steady::now();
        rows = await(*engine, text);
        engineTimes.push_back(seconds(e0));
        state.SetIterationTime(engineTimes.back());
        engine.reset();
    }
    report(state, coreTimes, engineTimes, rows);
}

void registerAll() {
    std::vector<std::string> texts;
    for (std::size_t n = 1; n <= 7; ++n)
        texts.push_back(std::string("invoice").substr(0, n));
    for (const char* query :
         {"holiday paris", "report 2023 final", "ext:pdf report", "photo size:>1mb"})
        texts.push_back(query);

    auto add = [](const std::string& name, int iterations, auto&& fn) {
        benchmark::RegisterBenchmark(name.c_str(), fn)
            ->UseManualTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    };
    for (const std::string& text : texts) {
        add("engine/" + text, 40,
            [text](benchmark::State& s) { keystroke(s, text, false, SortOrder::relevance); });
        add("engine+/" + text, 40,
            [text](benchmark::State& s) { keystroke(s, text, true, SortOrder::relevance); });
    }
    for (const std::string& text : texts) {
        add("sync/engine/" + text, 40, [text](benchmark::State& s) {
            keystroke(s, text, false, SortOrder::relevance, false);
        });
        add("sync/engine+/" + text, 40,
            [text](benchmark::State& s) { keystroke(s, text, true, SortOrder::relevance, false); });
    }
    for (const std::string text : {"inv", "invoice", "ext:pdf report"})
        for (SortOrder order : {SortOrder::size, SortOrder::dateModified, SortOrder::name})
            add("engine+/" + std::string(rawValue(order)) + "/" + text, 40,
                [text, order](benchmark::State& s) { keystroke(s, text, true, order); });
    for (const std::string text : {"inv", "invoice", "holiday paris"}) {
        add("cold/engine/" + text, 15, [text](benchmark::State& s) { cold(s, text, false); });
        add("cold/engine+/" + text, 15, [text](benchmark::State& s) { cold(s, text, true); });
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
