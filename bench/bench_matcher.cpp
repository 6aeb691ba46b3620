// The matcher's dispatch paths on a synthetic index of 2 M records (10 M as well when
// ULMARO_BENCH_LARGE is set). Run with --benchmark_repetitions=N to get medians.

#include "SyntheticIndex.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/Ranker.h"
#include "UlmaroKit/Search/SubstringScan.h"
#include "UlmaroKit/Search/TrigramIndex.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ulmaro;

std::shared_ptr<const IndexStore> store(std::size_t count) {
    static std::map<std::size_t, std::shared_ptr<const IndexStore>> stores;
    auto& s = stores[count];
    if (!s) s = bench::cachedSyntheticStore(count);
    return s;
}

std::shared_ptr<const TrigramIndex> trigrams(std::size_t count) {
    static std::map<std::size_t, std::shared_ptr<const TrigramIndex>> built;
    auto& t = built[count];
    if (!t) {
        auto s = store(count);
        t = std::make_shared<const TrigramIndex>(
            *TrigramIndex::build([&](std::uint32_t i) { return s->nameBytes(i); },
                                 static_cast<std::uint32_t>(s->count())));
    }
    return t;
}

std::unique_ptr<Matcher> matcher(std::size_t count, bool withTrigrams) {
    auto m = std::make_unique<Matcher>(store(count));
    if (withTrigrams) m->setTrigrams(trigrams(count));
    // The first full scan checks the blob's layout once; later calls reuse the answer.
    m->match(QueryParser::parse("zq"));
    return m;
}

void runQuery(benchmark::State& state, const std::string& text, bool withTrigrams,
              bool fuzzy = false) {
    const auto count = static_cast<std::size_t>(state.range(0));
    auto m = matcher(count, withTrigrams);
    const Query q = QueryParser::parse(text);
    std::size_t found = 0;
    for (auto _ : state) {
        auto r = fuzzy ? m->matchWithFuzzyFallback(q) : m->match(q);
        found = r.size();
        benchmark::DoNotOptimize(r.data());
    }
    state.counters["matches"] = static_cast<double>(found);
}

// A sole word of 3 bytes or more, frequent to rare.
const std::vector<std::string> soleWords = {"report",
                                            "pho",
                                            "img_12",
                                            "quartz",
                                            bench::SyntheticNames::madeUpWord(100),
                                            bench::SyntheticNames::madeUpWord(20000),
                                            "xyzzy"};

void BM_SoleWord(benchmark::State& state) {
    runQuery(state, soleWords[static_cast<std::size_t>(state.range(1))], false);
}
void BM_SoleWordTrigrams(benchmark::State& state) {
    runQuery(state, soleWords[static_cast<std::size_t>(state.range(1))], true);
}

// Every keystroke of a typed word, each a fresh search of the whole store (with the fuzzy
// fallback, as a fresh search runs) ranked to the top 20.
const std::string typedWord = "document";

void BM_Keystroke(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    auto m = matcher(count, true);
    Ranker ranker(store(count));
    const Query q =
        QueryParser::parse(typedWord.substr(0, static_cast<std::size_t>(state.range(1))));
    ranker.rank(m->matchWithFuzzyFallback(q), 20); // fills the ranker's folder cache
    std::size_t found = 0;
    for (auto _ : state) {
        auto r = m->matchWithFuzzyFallback(q);
        found = r.size();
        auto top = ranker.rank(r, 20);
        benchmark::DoNotOptimize(top.data());
    }
    state.counters["matches"] = static_cast<double>(found);
}

// The same keystrokes narrowed as type-ahead does: each within the previous answer, ranked.
void BM_KeystrokeNarrowed(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const auto length = static_cast<std::size_t>(state.range(1));
    auto m = matcher(count, true);
    std::vector<std::uint32_t> pool;
    if (length > 1) {
        for (const Match& x : m->match(QueryParser::parse(typedWord.substr(0, length - 1))))
            pool.push_back(x.id);
    }
    const Query q = QueryParser::parse(typedWord.substr(0, length));
    Ranker ranker(store(count));
    ranker.rank(m->match(q), 20);
    std::size_t found = 0;
    for (auto _ : state) {
        auto r = length > 1 ? m->match(q, pool) : m->matchWithFuzzyFallback(q);
        found = r.size();
        auto top = ranker.rank(r, 20);
        benchmark::DoNotOptimize(top.data());
    }
    state.counters["matches"] = static_cast<double>(found);
}

void BM_SeveralWords(benchmark::State& state) {
    runQuery(state, "report draft", true);
}
void BM_FourWords(benchmark::State& state) {
    runQuery(state, "report draft photo notes", true);
}
void BM_SeveralWordsAndAFilter(benchmark::State& state) {
    runQuery(state, "report draft .pdf", true);
}
void BM_FolderWord(benchmark::State& state) {
    runQuery(state, "path:Documents", true);
}
void BM_RecordLocal(benchmark::State& state) {
    runQuery(state, "ext:pdf size:>1mb", true);
}
void BM_RegexWithLiteral(benchmark::State& state) {
    runQuery(state, "/report.*2024/", true);
}
void BM_RegexWithoutLiteral(benchmark::State& state) {
    runQuery(state, "/^[a-z]+_\\d+$/", true);
}
void BM_FuzzyFallback(benchmark::State& state) {
    runQuery(state, "kywrd", true, true);
}
void BM_TheRest(benchmark::State& state) {
    runQuery(state, "path:Documents .pdf", true);
}

// The scan kernel alone on one thread over the whole store: the blob's bytes with vector
// compares (arg 0), name by name with the 16-byte search (arg 1), and a plain per-name loop
// with a byte-by-byte folded find (arg 2).
void BM_ScanKernel(benchmark::State& state) {
    auto s = store(static_cast<std::size_t>(state.range(0)));
    const std::string needle = "report";
    const auto n = static_cast<std::uint32_t>(s->count());
    std::vector<Match> out;
    out.reserve(1 << 20);
    for (auto _ : state) {
        out.clear();
        switch (state.range(1)) {
        case 0:
        case 1:
            SubstringScan::scanRange(*s, 0, n, needle, state.range(1) == 0, false, out);
            break;
        default:
            for (std::uint32_t id = 0; id < n; ++id) {
                const FileRecord& r = (*s)[id];
                if (r.flags.contains(RecordFlags::deleted)) continue;
                const std::string_view name = s->nameBytes(id);
                for (std::size_t p = 0; p + needle.size() <= name.size(); ++p) {
                    std::size_t k = 0;
                    while (k < needle.size() &&
                           SubstringScan::foldAscii(static_cast<unsigned char>(name[p + k])) ==
                               static_cast<unsigned char>(needle[k]))
                        ++k;
                    if (k == needle.size()) {
                        out.push_back(
                            {id, SubstringScan::grade(name, p, k), static_cast<std::int32_t>(p)});
                        break;
                    }
                }
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["matches"] = static_cast<double>(out.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(s->nameBlob().size()));
}

void sizes(benchmark::internal::Benchmark* b, std::vector<std::int64_t> second) {
    std::vector<std::int64_t> counts = {2'000'000};
    if (std::getenv("ULMARO_BENCH_LARGE") != nullptr) counts.push_back(10'000'000);
    for (auto c : counts) {
        if (second.empty())
            b->Args({c});
        else
            for (auto x : second)
                b->Args({c, x});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_SoleWord)->Apply([](auto* b) { sizes(b, {0, 1, 2, 3, 4, 5, 6}); });
BENCHMARK(BM_SoleWordTrigrams)->Apply([](auto* b) { sizes(b, {0, 1, 2, 3, 4, 5, 6}); });
BENCHMARK(BM_Keystroke)->Apply([](auto* b) { sizes(b, {1, 2, 3, 4, 5, 6, 7, 8}); });
BENCHMARK(BM_KeystrokeNarrowed)->Apply([](auto* b) { sizes(b, {1, 2, 3, 4, 5, 6, 7, 8}); });
BENCHMARK(BM_SeveralWords)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_FourWords)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_SeveralWordsAndAFilter)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_FolderWord)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_RecordLocal)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_RegexWithLiteral)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_RegexWithoutLiteral)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_FuzzyFallback)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_TheRest)->Apply([](auto* b) { sizes(b, {}); });
BENCHMARK(BM_ScanKernel)->Apply([](auto* b) { sizes(b, {0, 1, 2}); });

BENCHMARK_MAIN();
