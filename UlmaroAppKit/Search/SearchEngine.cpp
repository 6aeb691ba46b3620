#include "UlmaroAppKit/Search/SearchEngine.h"

#include "UlmaroAppKit/Search/RowBuilding.h"
#include "UlmaroKit/Content/ContentSearcher.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"
#include "UlmaroKit/Search/QueryParser.h"

#include <algorithm>
#include <array>
#include <unordered_set>
#include <utility>

namespace ulmaro {
namespace {

// The needles of a query's contents terms, and whether it also has a name part. A query
// without a name part asks the content index: matching names for it would list every
// record of every index.
struct ContentsTerms {
    std::vector<std::string> needles;
    bool hasNamePart = false;
};

std::optional<ContentsTerms> contentsTerms(std::string_view text) {
    const Query query = QueryParser::parse(text);
    if (!query.requiresContentScan()) return std::nullopt;
    Query::ContentSplit split = query.splittingContentTerms();
    if (split.contentNeedles.empty()) return std::nullopt;
    return ContentsTerms{std::move(split.contentNeedles), !split.nameQuery.isEmpty()};
}

// Aliases first, then the delta's changed entries, then the merged rows, then the folders
// the delta holds only as ancestors of its changes, each path once, its first group
// winning: a file in both the delta and the main index shows as the delta's row, but a
// folder that merely holds a change keeps the main index's row, with its size and date.
std::vector<RankedRow> assemble(std::array<std::vector<RankedRow>, 4> groups) {
    if (groups[0].empty() && groups[1].empty() && groups[3].empty()) return std::move(groups[2]);
    // Views into the rows' own strings: nothing is moved until every test is done. A
    // group is tested against the earlier groups only.
    std::unordered_set<std::string_view> seen;
    std::array<std::vector<bool>, 4> keep;
    std::size_t count = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        keep[g].resize(groups[g].size());
        for (std::size_t i = 0; i < groups[g].size(); ++i)
            keep[g][i] = !seen.contains(groups[g][i].path);
        if (g + 1 == groups.size() || (g == 2 && groups[3].empty())) continue;
        for (const RankedRow& row : groups[g])
            seen.insert(row.path);
        count += groups[g].size();
    }

    std::vector<RankedRow> rows;
    rows.reserve(count + groups[3].size());
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (std::size_t i = 0; i < groups[g].size(); ++i)
            if (keep[g][i]) rows.push_back(std::move(groups[g][i]));
    return rows;
}

} // namespace

struct SearchEngine::Delta {
    std::shared_ptr<const IndexStore> store;
    SearchSession session;
    Ranker ranker;
    PathResolver resolver;
    FolderPathCache paths;

    explicit Delta(std::shared_ptr<const IndexStore> deltaStore)
        : store(std::move(deltaStore)), session(store), ranker(store), resolver(*store),
          paths(*store) {}
};

std::shared_ptr<SearchEngine> SearchEngine::make(Inputs inputs, SerialQueueFactory& queues,
                                                 std::shared_ptr<const Clock> clock) {
    return std::make_shared<SearchEngine>(Passkey{}, std::move(inputs),
                                          queues.makeQueue(queueLabel, QueueQuality::interactive),
                                          std::move(clock));
}

SearchEngine::SearchEngine(Passkey, Inputs inputs, std::shared_ptr<SerialQueue> queue,
                           std::shared_ptr<const Clock> clock)
    : queue_(std::move(queue)), clock_(std::move(clock)), store_(std::move(inputs.store)),
      session_(store_), ranker_(store_), resolver_(*store_), paths_(*store_), limit_(inputs.limit),
      excludeSystemPaths_(std::move(inputs.excludeSystemPaths)),
      removedPaths_(std::move(inputs.removedPaths)),
      frecencyBoost_(std::move(inputs.frecencyBoost)), sortOrder_(inputs.sortOrder),
      contentIndex_(std::move(inputs.contentIndex)) {
    if (inputs.deltaStore) delta_ = std::make_unique<Delta>(std::move(inputs.deltaStore));
    catalogSources_.reserve(inputs.catalogs.size());
    for (CatalogSearchInput& catalog : inputs.catalogs)
        catalogSources_.push_back(std::make_shared<CatalogSource>(std::move(catalog)));
}

SearchEngine::~SearchEngine() = default;

std::int64_t SearchEngine::rankWindow(std::int64_t limit) {
    return std::min(2 * limit, limit + 50);
}

int SearchEngine::tier(MatchQuality quality, bool isApp) {
    if (isApp && quality <= MatchQuality::wordBoundary) return 0;
    return rawValue(quality);
}

std::int64_t SearchEngine::latestGeneration() const {
    std::lock_guard lock(generationMutex_);
    return latestGeneration_;
}

std::int64_t SearchEngine::search(std::string text, SearchCompletion completion) {
    std::int64_t generation = 0;
    {
        std::lock_guard lock(generationMutex_);
        generation = ++generationCounter_;
        latestGeneration_ = generation;
    }
    queue_->async([weak = weak_from_this(), text = std::move(text),
                   completion = std::move(completion), generation] {
        const std::shared_ptr<SearchEngine> self = weak.lock();
        if (!self || self->latestGeneration() != generation) return;
        // A newer search stops this one's document reads; its outcome is dropped anyway.
        completion(self->run(text, [&] { return self->latestGeneration() != generation; }),
                   generation);
    });
    return generation;
}

bool SearchEngine::hides(std::string_view path, bool excludingSystemPaths) const {
    return (removedPaths_ && removedPaths_->hides(path)) ||
           (excludingSystemPaths && ScanPolicy::isSystemPath(path));
}

SearchOutcome SearchEngine::run(std::string_view text, const std::function<bool()>& isOvertaken) {
    const MonotonicTime start = clock_->monotonicNow();
    const bool excludingSystemPaths = excludeSystemPaths_ && excludeSystemPaths_();
    const auto hidden = [&](const RankedRow& row) { return hides(row.path, excludingSystemPaths); };

    std::int64_t total = 0;
    std::vector<RankedRow> rows;
    const std::optional<ContentsTerms> contents = contentsTerms(text);
    if (contents && !contents->hasNamePart) {
        rows = documentsContaining(contents->needles);
        std::erase_if(rows, hidden);
        total = static_cast<std::int64_t>(rows.size());
    } else if (contents) {
        // The name matches are read in rank order up to what the searcher reads at once, so
        // a file that ranks below the shown rows still counts when it holds the text; only
        // the rows whose files hold it are counted.
        const std::int64_t window =
            std::max(rankWindow(limit_), std::int64_t{ContentSearcher::maxCandidates});
        rows = nameRows(text, total, window, window);
        std::erase_if(rows, hidden);
        rows = applyContentFilter(std::move(rows), text, isOvertaken);
        if (isOvertaken && isOvertaken()) return SearchOutcome::noMatches();
        total = static_cast<std::int64_t>(rows.size());
    } else {
        rows = nameRows(text, total, rankWindow(limit_), limit_);
        std::erase_if(rows, hidden);
    }

    orderRows(rows);
    if (std::cmp_greater(rows.size(), std::max<std::int64_t>(limit_, 0)))
        rows.resize(static_cast<std::size_t>(std::max<std::int64_t>(limit_, 0)));
    const double took = Seconds(clock_->monotonicNow() - start).count();
    if (rows.empty()) return SearchOutcome::noMatches();
    return SearchOutcome::results(std::move(rows), total, took);
}

SearchEngine::IndexAnswer SearchEngine::answer(SearchSession& session, Ranker& ranker,
                                               std::string_view text, std::int64_t limit) {
    const SearchSession::Results matches = session.search(text);
    return {static_cast<std::int64_t>(matches->size()), ranker.rank(*matches, limit)};
}

std::vector<RankedRow> SearchEngine::nameRows(std::string_view text, std::int64_t& total,
                                              std::int64_t window, std::int64_t perSource) {
    // The indexes are searched side by side: ranking the main index's matches runs on one
    // thread, and the delta and the catalogs fill the others meanwhile. Each session and
    // ranker is still used by one thread at a time.
    IndexAnswer base;
    IndexAnswer deltaAnswer;
    std::vector<IndexAnswer> catalogAnswers(catalogSources_.size());
    const std::size_t firstCatalog = delta_ ? 2 : 1;
    parallelFor(firstCatalog + catalogSources_.size(), [&](std::size_t job) {
        if (job == 0)
            base = answer(session_, ranker_, text, window);
        else if (job < firstCatalog)
            deltaAnswer = answer(delta_->session, delta_->ranker, text, perSource);
        else
            catalogAnswers[job - firstCatalog] = searchCatalog(job - firstCatalog, text, perSource);
    });
    total += base.matches + deltaAnswer.matches;
    std::vector<RankedResult>& rankedBase = base.ranked;

    std::vector<RankedRow> deltaRows;
    std::vector<RankedRow> deltaAncestors;
    if (delta_) {
        for (const RankedResult& ranked : deltaAnswer.ranked) {
            std::optional<std::string> path = delta_->paths.path(ranked.match.id);
            if (!path) continue;
            RankedRow row = RowBuilding::recordRow(*delta_->store, ranked.match.id,
                                                   ~ranked.match.id, std::move(*path));
            RowBuilding::addNameMatch(row, ranked.match, text);
            // A changed entry carries its attributes; a folder on the way to one does not.
            const bool changed =
                (*delta_->store)[ranked.match.id].flags.contains(RecordFlags::attrsFilled);
            (changed ? deltaRows : deltaAncestors).push_back(std::move(row));
        }
    }

    // A record without a path (a broken parent chain) has no row; its ranked result goes
    // too, so that rows and results stay side by side for the merge.
    std::vector<RankedRow> baseRows;
    baseRows.reserve(rankedBase.size());
    std::size_t kept = 0;
    for (const RankedResult& ranked : rankedBase) {
        std::optional<std::string> path = paths_.path(ranked.match.id);
        if (!path) continue;
        RankedRow row =
            RowBuilding::recordRow(*store_, ranked.match.id, ranked.match.id, std::move(*path));
        RowBuilding::addNameMatch(row, ranked.match, text);
        baseRows.push_back(std::move(row));
        rankedBase[kept++] = ranked;
    }
    rankedBase.resize(kept);

    RankedCatalogs catalogs =
        catalogSources_.empty() ? RankedCatalogs{} : catalogCandidates(catalogAnswers);
    total += catalogs.total;
    std::vector<RankedRow> merged =
        catalogs.candidates.empty()
            ? std::move(baseRows)
            : merge(std::move(baseRows), rankedBase, catalogs.candidates, text,
                    sortOrder_ == SortOrder::relevance ? window : unboundedWindow);

    return assemble(
        {appAliasRows(text), std::move(deltaRows), std::move(merged), std::move(deltaAncestors)});
}

} // namespace ulmaro
