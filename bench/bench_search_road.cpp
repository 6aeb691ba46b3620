// The steps of one `lu search` of a word, each timed alone on a real index: opening (map and
// checksum), the first match, the fuzzy fallback on top of it, ranking, and resolving and
// formatting the listed paths. Set ULMARO_BENCH_INDEX to an "index.bin" (for example one that
// `lu scan` wrote for a bench/make-tree tree) and, optionally, ULMARO_BENCH_WORDS to a
// comma-separated list of words. What the whole process adds (its start and exit) is measured
// from outside, against bench/index-floor.

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/Ranker.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ulmaro;

const char* indexPath() {
    return std::getenv("ULMARO_BENCH_INDEX");
}

std::shared_ptr<const IndexStore> sharedStore() {
    static const auto store = IndexStore::open(indexPath());
    return store;
}

void open(benchmark::State& state) {
    for (auto _ : state) {
        auto store = IndexStore::open(indexPath());
        benchmark::DoNotOptimize(store->count());
    }
}

// A fresh matcher each time, as `lu search` makes one.
void match(benchmark::State& state, const std::string& word, bool fallback) {
    const auto store = sharedStore();
    const Query q = QueryParser::parse(word);
    std::size_t found = 0;
    for (auto _ : state) {
        Matcher m(store);
        const auto r = fallback ? m.matchWithFuzzyFallback(q) : m.match(q);
        found = r.size();
        benchmark::DoNotOptimize(r.data());
    }
    state.counters["matches"] = static_cast<double>(found);
}

void rank(benchmark::State& state, const std::string& word) {
    const auto store = sharedStore();
    const auto matches = Matcher(store).matchWithFuzzyFallback(QueryParser::parse(word));
    for (auto _ : state) {
        Ranker ranker(store);
        benchmark::DoNotOptimize(ranker.rank(matches, 20).data());
    }
}

void print(benchmark::State& state, const std::string& word) {
    const auto store = sharedStore();
    const auto matches = Matcher(store).matchWithFuzzyFallback(QueryParser::parse(word));
    const auto ranked = Ranker(store).rank(matches, 20);
    for (auto _ : state) {
        PathResolver resolver(*store);
        std::string listing;
        for (const RankedResult& result : ranked)
            if (auto path = resolver.absolutePath(result.match.id)) listing += "  " + *path + "\n";
        benchmark::DoNotOptimize(listing.data());
    }
}

std::vector<std::string> words() {
    const char* list = std::getenv("ULMARO_BENCH_WORDS");
    std::string text = list != nullptr ? list : "kywrd,holiday_4228,_42";
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        if (comma > from) out.push_back(text.substr(from, comma - from));
        from = comma + 1;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (indexPath() == nullptr) {
        std::fprintf(stderr, "bench_search_road: set ULMARO_BENCH_INDEX to an index.bin\n");
        return 0;
    }
    auto timed = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    timed(benchmark::RegisterBenchmark("Open", open));
    for (const std::string& word : words()) {
        timed(benchmark::RegisterBenchmark(("Match/" + word).c_str(),
                                           [word](auto& s) { match(s, word, false); }));
        timed(benchmark::RegisterBenchmark(("MatchWithFuzzyFallback/" + word).c_str(),
                                           [word](auto& s) { match(s, word, true); }));
        timed(benchmark::RegisterBenchmark(("Rank/" + word).c_str(),
                                           [word](auto& s) { rank(s, word); }));
        timed(benchmark::RegisterBenchmark(("Print/" + word).c_str(),
                                           [word](auto& s) { print(s, word); }));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
