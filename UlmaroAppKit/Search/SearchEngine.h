#pragma once

#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroAppKit/Search/AppDirectory.h"
#include "UlmaroAppKit/Search/CatalogSource.h"
#include "UlmaroAppKit/Search/FolderPathCache.h"
#include "UlmaroAppKit/Search/RemovedPaths.h"
#include "UlmaroAppKit/Search/SearchEngineProtocol.h"
#include "UlmaroAppKit/Search/SortOrder.h"
#include "UlmaroAppKit/Search/TrigramIndexHolder.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Search/Ranker.h"
#include "UlmaroKit/Search/SearchSession.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ulmaro {

class ContentIndex;
class IndexStore;

/// One search across the main index, the live delta, the catalogs and the applications,
/// merged, filtered and ordered into one outcome.
///
/// Immutable in its inputs: the shell builds a new engine whenever the stores, the removed
/// paths, the sort order or the catalogs change. Searches run one at a time on the engine's
/// own interactive queue, which also calls the completion. A search overtaken by a newer
/// one before it starts is dropped; one that has started always completes. Queued work
/// holds the engine weakly, so releasing it drops what has not started.
class SearchEngine final : public SearchEngineProtocol,
                           public std::enable_shared_from_this<SearchEngine> {
public:
    static constexpr std::int64_t defaultResultLimit = 200;
    static constexpr std::int64_t unboundedWindow = std::numeric_limits<std::int64_t>::max();
    static constexpr const char* queueLabel = "app.ulmaro.search-engine";
    /// The queues that load or build trigram indexes, one per build.
    static constexpr const char* buildQueueLabel = "app.ulmaro.trigram-build";
    /// The content index answers at most this many documents per contents term.
    static constexpr std::int64_t documentsPerNeedle = 200;

    /// How much opening history lifts a path in relevance order.
    using FrecencyBoost = std::function<double(std::string_view path)>;
    using ContentIndexSource = std::function<std::shared_ptr<const ContentIndex>()>;

    struct Inputs {
        /// The main index; an empty one when this computer is not searched.
        std::shared_ptr<const IndexStore> store{};
        std::int64_t limit = defaultResultLimit;
        std::shared_ptr<const IndexStore> deltaStore{};
        std::shared_ptr<const RemovedPaths> removedPaths{};
        FrecencyBoost frecencyBoost{};
        SortOrder sortOrder = SortOrder::relevance;
        /// Asked once per search; none means system paths stay.
        std::function<bool()> excludeSystemPaths{};
        ContentIndexSource contentIndex{};
        std::vector<CatalogSearchInput> catalogs{};
    };

    /// One ranked catalog match waiting for the merge.
    struct CatalogCandidate {
        std::size_t source = 0;
        RankedResult result{};
        int tier = 0;
    };
    /// The catalog record behind a catalog row's identifier.
    struct CatalogRecord {
        std::size_t source = 0;
        std::uint32_t record = 0;

        friend bool operator==(const CatalogRecord&, const CatalogRecord&) = default;
    };
    struct RankedCatalogs {
        std::vector<CatalogCandidate> candidates;
        std::int64_t total = 0;
    };
    /// What one index answered: how many records matched, and the best of them ranked.
    struct IndexAnswer {
        std::int64_t matches = 0;
        std::vector<RankedResult> ranked;
    };

    static std::shared_ptr<SearchEngine> make(Inputs inputs, SerialQueueFactory& queues,
                                              std::shared_ptr<const Clock> clock);
    ~SearchEngine() override;

    std::int64_t search(std::string text, SearchCompletion completion) override;
    /// On the engine's queue, which also calls the completion; taking no generation, it is
    /// never dropped for a newer search.
    void findCopies(std::uint32_t id, std::string path, CopiesCompletion completion) override;

    /// The ranked base results turned into rows: twice the limit up to a limit of 50,
    /// then the limit + 50.
    static std::int64_t rankWindow(std::int64_t limit);
    /// Lower tiers come first: the match quality, except that an application matched
    /// exactly, by prefix or at a word start joins the exact matches.
    static int tier(MatchQuality quality, bool isApp);
    /// Stable: size and date largest first, name by `naturalCompare`; relevance unchanged.
    static std::vector<RankedRow> sort(std::vector<RankedRow> rows, SortOrder order);

    std::int64_t limit() const { return limit_; }
    SortOrder sortOrder() const { return sortOrder_; }
    const std::shared_ptr<const IndexStore>& store() const { return store_; }
    std::size_t catalogCount() const { return catalogSources_.size(); }

    /// Gives the main session the trigram index of the main store from `holder`, loading
    /// or building it on a utility queue of its own when the holder has none for the
    /// store's checksum. The session gets it on the engine's queue, if the engine is still
    /// there; until then it searches without the prefilter. Main thread.
    void useTrigramIndex(const std::shared_ptr<TrigramIndexHolder>& holder,
                         SerialQueueFactory& queues);
    /// The holder of a catalog's trigram index, by catalog ID; none leaves it without one.
    using CatalogTrigramHolders =
        std::function<std::shared_ptr<TrigramIndexHolder>(std::string_view catalogID)>;
    /// `useTrigramIndex` for every catalog source, each with its catalog's holder; a source
    /// is held weakly.
    void useCatalogTrigramIndexes(const CatalogTrigramHolders& holders, SerialQueueFactory& queues);

    // The steps of a search, for the engine's queue only.

    /// Searches and ranks every catalog; candidates catalog after catalog, each in rank
    /// order, without records outside the catalogued root. Empties the row lookup.
    RankedCatalogs rankCatalogs(std::string_view text);
    /// Base rows (built from `rankedBase`, same order) and catalog candidates by tier,
    /// score and position, up to `window` rows; a catalog row whose path a base row
    /// already shows is left out. Replaces the row lookup with the catalog rows kept.
    std::vector<RankedRow> merge(std::vector<RankedRow> baseRows,
                                 std::span<const RankedResult> rankedBase,
                                 std::span<const CatalogCandidate> catalogs, std::string_view text,
                                 std::int64_t window);
    /// Up to three applications whose words' starts spell the text.
    std::vector<RankedRow> appAliasRows(std::string_view text);
    /// Keeps the rows whose documents hold every contents term of a query that also has a
    /// name part, each with the first term's line; other queries pass unchanged. Only the
    /// first `ContentSearcher::maxCandidates` files are read, and rows beyond them dropped.
    /// Once `isCancelled` answers true no further file is read (the rows left are partial).
    static std::vector<RankedRow> applyContentFilter(std::vector<RankedRow> rows,
                                                     std::string_view text,
                                                     const std::function<bool()>& isCancelled = {});
    /// The rows of a contents-only query, from the content index: the documents the first
    /// term finds (at most 200) that every other term's search finds too, in its order.
    std::vector<RankedRow> documentsContaining(std::span<const std::string> needles);
    /// The identifiers of content-index rows, one per path in list order: the complement of
    /// |h mod 100000| for `FastHash64` h of the path as a signed number, moved on to the
    /// next free value of that range when an earlier row holds it.
    static std::vector<std::uint32_t> contentRowIDs(std::span<const std::string> paths);
    /// Whether a row with this path is never shown: removed, under a removed folder, or a
    /// system path when those are left out.
    bool hides(std::string_view path, bool excludingSystemPaths) const;
    /// All the steps of one search, synchronously. A search whose `isOvertaken` answers true
    /// while it reads documents stops reading and answers no matches.
    SearchOutcome run(std::string_view text, const std::function<bool()>& isOvertaken = {});
    /// Other copies of the row's item in the main index and every catalog: same name (ASCII
    /// letters folded) and kind, equal sizes first, never the item's own path, at most
    /// `limit`. No matches unless `id` (a main record or a catalog row of the latest
    /// results) still names `path`. Adds the catalog copies to the row lookup.
    SearchOutcome copies(std::uint32_t id, std::string_view path);

    const std::unordered_map<std::uint32_t, CatalogRecord>& catalogRowLookup() const {
        return catalogRowLookup_;
    }
    const CatalogSource& catalogSource(std::size_t index) const { return *catalogSources_[index]; }
    /// The sessions' trigram indexes, for the engine's queue.
    const std::shared_ptr<const TrigramIndex>& trigrams() const { return session_.trigrams(); }
    const std::shared_ptr<const TrigramIndex>& catalogTrigrams(std::size_t index) const {
        return catalogSources_[index]->session().trigrams();
    }

    struct Passkey {
    private:
        Passkey() = default;
        friend class SearchEngine;
    };
    SearchEngine(Passkey, Inputs inputs, std::shared_ptr<SerialQueue> queue,
                 std::shared_ptr<const Clock> clock);

private:
    struct Delta;
    /// The record a copies request starts from; no source for the main index.
    struct CopiesItem {
        std::optional<std::size_t> source;
        std::uint32_t record = 0;
        const IndexStore* store = nullptr;
    };

    std::optional<CopiesItem> copiesItem(std::uint32_t id, std::string_view path);
    /// Asks the holder for the store's index; `install` runs on `queue` with it.
    static void installTrigrams(std::shared_ptr<const IndexStore> store,
                                const std::shared_ptr<TrigramIndexHolder>& holder,
                                std::shared_ptr<SerialQueue> queue,
                                TrigramIndexHolder::Install install, SerialQueueFactory& queues);

    std::int64_t latestGeneration() const;
    static IndexAnswer answer(SearchSession& session, Ranker& ranker, std::string_view text,
                              std::int64_t limit);
    IndexAnswer searchCatalog(std::size_t source, std::string_view text, std::int64_t limit);
    /// The candidates of every catalog's answer; empties the row lookup.
    RankedCatalogs catalogCandidates(std::span<const IndexAnswer> answers);
    /// The rows of a name search, before ordering; adds the matches found to `total`. The
    /// main index's best `window` matches become rows, and the best `perSource` of the delta
    /// and of each catalog.
    std::vector<RankedRow> nameRows(std::string_view text, std::int64_t& total, std::int64_t window,
                                    std::int64_t perSource);
    std::optional<RankedRow> catalogRow(const CatalogCandidate& candidate, std::string_view text);
    void orderRows(std::vector<RankedRow>& rows) const;

    std::shared_ptr<SerialQueue> queue_;
    std::shared_ptr<const Clock> clock_;
    std::shared_ptr<const IndexStore> store_;
    SearchSession session_;
    Ranker ranker_;
    PathResolver resolver_;
    /// Row paths: the folders of one keystroke's results are mostly the next one's.
    FolderPathCache paths_;
    std::int64_t limit_;
    std::vector<std::shared_ptr<CatalogSource>> catalogSources_;
    std::unordered_map<std::uint32_t, CatalogRecord> catalogRowLookup_;
    std::function<bool()> excludeSystemPaths_;
    mutable std::mutex generationMutex_;
    std::int64_t generationCounter_ = 0;
    std::int64_t latestGeneration_ = 0;
    std::unique_ptr<Delta> delta_;
    std::shared_ptr<const RemovedPaths> removedPaths_;
    FrecencyBoost frecencyBoost_;
    SortOrder sortOrder_;
    std::optional<AppDirectory> appDirectory_;
    ContentIndexSource contentIndex_;
};

} // namespace ulmaro
