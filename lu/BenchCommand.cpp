// lu bench and lu measure: timings of the search core against the current index.
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/Query.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/Ranker.h"
#include "UlmaroKit/Search/SearchSession.h"
#include "lu/Commands.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace ulmaro::lu {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    const auto elapsed = Clock::now() - start;
    return static_cast<double>(
               std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) /
           1000000.0;
}

/// Times one action and prints its label (padded or cut to 28 columns) and milliseconds.
void timeit(const char* label, const std::function<void()>& action) {
    const auto start = Clock::now();
    action();
    const double ms = millisecondsSince(start);
    std::printf("  %-28.28s%.2fms\n", label, ms);
}

constexpr std::array<const char*, 10> benchQueries = {
    "a",
    "report",
    "playground",
    "ext:swift",
    "size:>10mb",
    "ext:swift size:>10mb",
    "ext:txt | ext:bin",
    "ext:txt,bin",
    "!ext:swift",
    "/^IMG_\\d+/",
};

} // namespace

int runBench(const Invocation& invocation) {
    const auto store = openIndexOrExit(invocation);
    std::printf("Records: %u, name blob: %uMB\n", store->header().recordCount,
                store->header().nameBlobLength / 1000000);
    for (const char* text : benchQueries) {
        SearchSession session(store); // fresh: no query narrows the previous one's results
        const auto start = Clock::now();
        const auto results = session.search(text);
        const double ms = millisecondsSince(start);
        std::printf("  %-14.14s%6zu matches  %.2fms\n", text, results->size(), ms);
    }
    return 0;
}

int runMeasure(const Invocation& invocation) {
    const auto store = openIndexOrExit(invocation);
    std::printf("Records: %u\n", store->header().recordCount);

    const Query pathQuery = QueryParser::parse("path:playground");
    Matcher pathMatcher(store);
    std::vector<Match> pathMatches;
    timeit("path:playground matching", [&] { pathMatches = pathMatcher.match(pathQuery); });
    std::printf("    %zu matches\n", pathMatches.size());

    const Query wordQuery = QueryParser::parse("a");
    Matcher wordMatcher(store);
    std::vector<Match> wordMatches;
    timeit("'a' matching", [&] { wordMatches = wordMatcher.match(wordQuery); });
    std::printf("    %zu matches\n", wordMatches.size());

    Ranker ranker(store);
    timeit("'a' ranking (limit 20)", [&] { (void)ranker.rank(wordMatches, 20); });
    return 0;
}

} // namespace ulmaro::lu
