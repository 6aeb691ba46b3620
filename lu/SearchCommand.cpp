// lu search <query>: the name road (match, rank, print paths) and, with contains: terms,
// the contents road (narrow by name, then read the candidate files).
#include "UlmaroKit/Content/ContentSearcher.h"
#include "UlmaroKit/Index/AttrsCompleteness.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/Query.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/Ranker.h"
#include "lu/Commands.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

namespace ulmaro::lu {
namespace {

constexpr int nameOnlyLimit = 20;
constexpr int contentsCandidateLimit = 5000;

using Clock = std::chrono::steady_clock;

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

[[noreturn]] void refuse(const std::string& message) {
    std::fflush(stdout);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
    std::exit(2);
}

struct Listing {
    std::size_t total = 0;
    std::size_t shown = 0;
    std::string suffix;
    Clock::time_point end;
};

Listing nameRoad(const std::shared_ptr<const IndexStore>& store, const Query& query) {
    // A fresh session would parse the same text and run this same whole-store match (no
    // stack, no trigram index), so an empty answer is final: asking again only doubles the
    // time of every search that finds nothing.
    Matcher matcher(store);
    const std::vector<Match> matches = matcher.matchWithFuzzyFallback(query);
    Ranker ranker(store);
    const auto ranked = ranker.rank(matches, nameOnlyLimit);
    const auto end = Clock::now(); // the listing is not timed on this road

    PathResolver resolver(*store);
    std::size_t shown = 0;
    for (const RankedResult& result : ranked) {
        // A record whose parent chain is broken has no path to show, and is not shown.
        if (auto path = resolver.absolutePath(result.match.id)) {
            printLine("  " + *path);
            ++shown;
        }
    }
    return {matches.size(), shown, {}, end};
}

Listing contentsRoad(const std::shared_ptr<const IndexStore>& store,
                     const Query::ContentSplit& split) {
    if (split.nameQuery.isEmpty())
        refuse("contains: needs something to narrow by, e.g. `.swift contains:foo`");

    Matcher matcher(store);
    const std::vector<Match> matches = matcher.match(split.nameQuery);
    Ranker ranker(store);
    const auto ranked = ranker.rank(matches, contentsCandidateLimit);

    // Files are read by their raw byte paths (names need not be UTF-8); what is shown is
    // the repaired text.
    PathResolver resolver(*store);
    std::vector<std::string> candidates;
    std::vector<const RankedResult*> candidateResults;
    candidates.reserve(ranked.size());
    for (const RankedResult& result : ranked) {
        if (auto raw = resolver.rawAbsolutePath(result.match.id)) {
            candidates.push_back(std::move(*raw));
            candidateResults.push_back(&result);
        }
    }

    std::unordered_set<std::string> surviving;
    std::unordered_map<std::string, ContentSearcher::Hit> firstHit;
    bool first = true;
    for (const std::string& needle : split.contentNeedles) {
        const auto outcome =
            ContentSearcher::search(needle, candidates, false, contentsCandidateLimit);
        if (const auto* tooMany = std::get_if<ContentSearcher::TooManyCandidates>(&outcome)) {
            refuse(std::to_string(tooMany->candidates) +
                   " candidates is too many to read; narrow the name query first");
        }
        const auto& hits = std::get<ContentSearcher::Hits>(outcome).hits;
        std::unordered_set<std::string> found;
        for (const auto& hit : hits)
            found.insert(hit.path);
        if (first) {
            surviving = std::move(found);
            first = false;
        } else {
            std::erase_if(surviving, [&](const std::string& p) { return !found.contains(p); });
        }
        for (const auto& hit : hits)
            firstHit.try_emplace(hit.path, hit);
    }

    Listing listing;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (!surviving.contains(candidates[i])) continue;
        ++listing.total;
        if (listing.shown == nameOnlyLimit) continue;
        ++listing.shown;
        printLine("  " + resolver.absolutePath(candidateResults[i]->match.id).value_or(""));
        if (auto hit = firstHit.find(candidates[i]); hit != firstHit.end()) {
            printLine("      " + std::to_string(hit->second.line) + ": " + hit->second.preview);
        }
    }
    listing.suffix = "  (read " + std::to_string(candidates.size()) + " candidates)";
    listing.end = Clock::now();
    return listing;
}

void printAttributeWarning(AttrsCompleteness completeness) {
    if (completeness == AttrsCompleteness::none) {
        printLine("");
        printLine("  size: and dm: filters need file attributes, which this index does not have "
                  "yet.");
        printLine("  (Attributes are filled by the first scan and by \"Refresh\" -- not by");
        printLine("  automatic background rescans -- so results below may be incomplete.)");
    } else if (completeness == AttrsCompleteness::partial) {
        printLine("");
        printLine("  size: and dm: filters are matched against a PARTIALLY attribute-filled "
                  "index --");
        printLine("  results below are real but may be missing some matches.");
    }
}

} // namespace

int runSearch(const Invocation& invocation) {
    const auto store = openIndexOrExit(invocation);

    std::string text;
    for (const std::string& word : invocation.args) {
        if (!text.empty()) text += ' ';
        text += word;
    }
    const Query query = QueryParser::parse(text);
    const auto start = Clock::now();

    const Query::ContentSplit split = query.splittingContentTerms();
    const Listing listing =
        split.contentNeedles.empty() ? nameRoad(store, query) : contentsRoad(store, split);
    const double milliseconds =
        static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(listing.end - start).count()) /
        1000000.0;

    if (query.requiresAttributes()) printAttributeWarning(store->header().attrsCompleteness);
    std::printf("\n%zu matches in %.2fms (showing %zu)%s\n", listing.total, milliseconds,
                listing.shown, listing.suffix.c_str());
    return 0;
}

} // namespace ulmaro::lu
