// Trigram index on a synthetic 2 M-record index: build time and memory, candidate blocks,
// and what it buys a sole word (also at 10 M records) and each keystroke of a session.
#include "SyntheticIndex.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/Ranker.h"
#include "UlmaroKit/Search/SearchSession.h"
#include "UlmaroKit/Search/TrigramIndex.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace ulmaro;

constexpr std::size_t recordCount = 2'000'000;
constexpr std::size_t largeRecordCount = 10'000'000;

/// The synthetic store of `count` records, made once per process.
const std::shared_ptr<const IndexStore>& store(std::size_t count = recordCount) {
    static std::map<std::size_t, std::shared_ptr<const IndexStore>> stores;
    auto& s = stores[count];
    if (!s) s = bench::cachedSyntheticStore(count);
    return s;
}

std::optional<TrigramIndex> buildFor(const IndexStore& s) {
    return TrigramIndex::build([&s](std::uint32_t id) { return s.nameBytes(id); },
                               static_cast<std::uint32_t>(s.count()));
}

const std::shared_ptr<const TrigramIndex>& trigrams(std::size_t count = recordCount) {
    static std::map<std::size_t, std::shared_ptr<const TrigramIndex>> indexes;
    auto& index = indexes[count];
    if (!index) index = std::make_shared<const TrigramIndex>(*buildFor(*store(count)));
    return index;
}

/// A line of /proc/self/status in KiB ("RssAnon").
long statusKiB(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

/// The highest anonymous resident size seen while it lives, sampled every millisecond. Only
/// anonymous pages count: the store's mapped file pages come and go with the page cache.
class AnonPeak {
public:
    AnonPeak()
        : thread_([this](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  peak_ = std::max(peak_.load(), statusKiB("RssAnon"));
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    long stop() {
        thread_.request_stop();
        thread_.join();
        return peak_;
    }

private:
    std::atomic<long> peak_{0};
    std::jthread thread_;
};

void BM_TrigramBuild(benchmark::State& state) {
    const IndexStore& s = *store();
    std::size_t bytes = 0;
    long peakGrowth = 0;
    for (auto _ : state) {
        const long before = statusKiB("RssAnon");
        AnonPeak peak;
        auto index = buildFor(s);
        bytes = index->byteSize();
        peakGrowth = std::max(peakGrowth, peak.stop() - before);
        benchmark::DoNotOptimize(index);
    }
    state.counters["index_MiB"] = static_cast<double>(bytes) / (1 << 20);
    // The build's high-water mark over what the process held before: the touched pages of
    // its two tables (128 MiB of address space), the key list and the index it returns.
    state.counters["peak_growth_MiB"] = static_cast<double>(peakGrowth) / 1024.0;
    state.counters["keys"] = static_cast<double>(trigrams()->keys().size());
}
BENCHMARK(BM_TrigramBuild)->Unit(benchmark::kMillisecond)->Iterations(5);

// The start-up road: "trigrams.bin" of the same store read back (the page cache warm, as
// after the write of the launch before), against BM_TrigramBuild.
void BM_TrigramCacheLoad(benchmark::State& state) {
    const IndexStore& s = *store();
    const std::uint64_t checksum = s.header().checksum;
    const std::filesystem::path cache =
        std::filesystem::temp_directory_path() / "ulmaro-bench-trigrams.bin";
    trigrams()->write(cache, checksum);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto loaded = TrigramIndex::load(cache, checksum, static_cast<std::uint32_t>(s.count()));
        if (!loaded) state.SkipWithError("the cache did not load");
        bytes = loaded ? loaded->byteSize() : 0;
        benchmark::DoNotOptimize(loaded);
    }
    std::filesystem::remove(cache);
    state.counters["index_MiB"] = static_cast<double>(bytes) / (1 << 20);
}
BENCHMARK(BM_TrigramCacheLoad)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_CandidateBlocks(benchmark::State& state, const char* needle) {
    const TrigramIndex& index = *trigrams();
    std::optional<std::vector<std::uint32_t>> result;
    for (auto _ : state) {
        result = index.candidateBlocks(needle);
        benchmark::DoNotOptimize(result);
    }
    // Blocks left to scan (all of them when the index cannot narrow).
    state.counters["blocks"] = static_cast<double>(result ? result->size() : index.blockCount());
    state.counters["of"] = static_cast<double>(index.blockCount());
}
BENCHMARK_CAPTURE(BM_CandidateBlocks, common_report, "report")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, rarer_calibration, "calibration")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, two_words, "zebra_quartz")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, number, "IMG_4242")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, absent, "xylophone")->Unit(benchmark::kMicrosecond);

/// A sole word over the whole store of range(1) records, with (range(0) = 1) or without the
/// trigram index.
void BM_SoleWord(benchmark::State& state, const char* word) {
    const auto count = static_cast<std::size_t>(state.range(1));
    Matcher matcher(store(count));
    if (state.range(0) != 0) matcher.setTrigrams(trigrams(count));
    const Query query = QueryParser::parse(word);
    std::size_t found = 0;
    for (auto _ : state) {
        auto matches = matcher.match(query);
        found = matches.size();
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_SoleWord, report, "report")
    ->ArgsProduct({{0, 1}, {recordCount, largeRecordCount}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SoleWord, calibration, "calibration")
    ->ArgsProduct({{0, 1}, {recordCount, largeRecordCount}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SoleWord, zebra_quartz, "zebra_quartz")
    ->ArgsProduct({{0, 1}, {recordCount, largeRecordCount}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

/// One keystroke of typing "playlist" (range 0: characters typed, 1 to 8) in a session that
/// has answered every shorter prefix, ranked to the top 20; with (range 1 = 1) or without
/// the trigram index.
void BM_Keystroke(benchmark::State& state) {
    const std::string word = "playlist";
    const auto typed = static_cast<std::size_t>(state.range(0));
    Ranker ranker(store());
    std::size_t found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SearchSession session(store());
        if (state.range(1) != 0) session.setTrigrams(trigrams());
        for (std::size_t n = 1; n < typed; ++n)
            session.search(word.substr(0, n));
        state.ResumeTiming();
        auto results = session.search(word.substr(0, typed));
        auto top = ranker.rank(*results, 20);
        found = results->size();
        benchmark::DoNotOptimize(top);
    }
    state.counters["matches"] = static_cast<double>(found);
}
BENCHMARK(BM_Keystroke)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
