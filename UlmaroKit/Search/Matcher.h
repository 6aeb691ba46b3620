#pragma once

#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/Query.h"
#include "UlmaroKit/Search/Term.h"
#include "UlmaroKit/Search/TrigramIndex.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ulmaro {

class IndexStore;
class CompiledRegex;
class WorkerPool;

/// Answers parsed queries over one store: a `Match` for every live record that satisfies the
/// query, in record order (or in the order of the candidates given).
///
/// On stores of 20000 records or more, common query shapes take specialised scans of the name
/// blob spread over the worker pool (optionally narrowed by a trigram index); their results are
/// always those a serial record-by-record scan would give.
///
/// Not safe for concurrent calls: every call may fill the caches. One owner, one thread at a
/// time. The store must outlive the matcher's use of it (it is held by shared pointer).
class Matcher {
public:
    /// Below this many matches, `matchWithFuzzyFallback` adds approximate ones.
    static constexpr std::size_t fuzzyFallbackThreshold = 5;
    static constexpr std::size_t maxFuzzyResults = 50;
    /// Stores this large take the shape dispatch; smaller ones the record-by-record path.
    static constexpr std::size_t wholeStoreDispatchThreshold = 20000;
    /// Records per shard of a parallel scan.
    static constexpr std::size_t recordsPerShard = 10000;
    /// Folder words look this far up: a record's test reads its own name and its nearest 255
    /// ancestors' names; the whole-store folder scan reads its own and 256 ancestors'.
    static constexpr std::size_t maxAncestorNames = 256;

    /// A list of record IDs to test instead of the whole store; nullopt means every record.
    using Candidates = std::optional<std::span<const std::uint32_t>>;

    /// Parallel scans run on `pool` (the process-wide pool when null).
    explicit Matcher(std::shared_ptr<const IndexStore> store, WorkerPool* pool = nullptr);
    ~Matcher();
    Matcher(const Matcher&) = delete;
    Matcher& operator=(const Matcher&) = delete;

    const IndexStore& store() const { return *store_; }

    /// The block prefilter used for words of 3 bytes or more; null turns it off. It must have
    /// been built for this store.
    const std::shared_ptr<const TrigramIndex>& trigrams() const { return trigrams_; }
    void setTrigrams(std::shared_ptr<const TrigramIndex> trigrams);

    /// Every live record (of `candidates`, in their order, when given) that satisfies the query.
    std::vector<Match> match(const Query& query, Candidates candidates = std::nullopt);

    /// `match`, followed by up to 50 fuzzy matches when it found fewer than 5 and the query is
    /// one plain word of 3 to 32 bytes (lower-cased). Fuzzy matches are searched in the whole
    /// store whatever the candidates.
    std::vector<Match> matchWithFuzzyFallback(const Query& query,
                                              Candidates candidates = std::nullopt);

    /// Whether record `id` satisfies one term (no quality). `id` must be below the count.
    bool matches(const Term& term, std::uint32_t id);

    // Implementation types, shared by the matcher's source files only.
    struct PreparedTerm;
    struct PreparedList;
    struct Scratch;
    struct CompiledTerm;
    struct CompiledQuery;
    struct Prepared;
    struct WordsInName;

private:
    // Caches (filled on the calling thread, before any parallel work).
    const std::string& needleFor(const std::string& text);
    const CompiledRegex* regexFor(const std::string& pattern);
    const std::optional<std::string>& regexLiteralFor(const std::string& pattern);
    const std::u16string& foldedPathNeedleFor(const std::string& text);
    PreparedTerm prepare(const Term& term);
    void preparePath(PreparedTerm& p, const std::string& text);
    PreparedList prepareList(const std::vector<Term>& terms);
    Prepared prepareQuery(const Query& query);

    // Record-by-record path.
    std::vector<Match> recordByRecord(const Query& query, Candidates candidates);

    // Fast paths of the shape dispatch.
    std::vector<Match> dispatch(const Query& query);
    std::vector<Match> soleWord(std::string_view foldedNeedle);
    std::vector<Match> soleWordAmong(std::string_view foldedNeedle,
                                     std::span<const std::uint32_t> candidates);
    std::vector<Match> fullSubstringScan(std::string_view foldedNeedle);
    std::vector<Match> scanBlocks(std::span<const std::uint32_t> blocks,
                                  std::string_view foldedNeedle);
    std::vector<Match> severalWords(const Query& query);
    std::vector<Match> verifyAlongFolders(const std::vector<std::string_view>& needles,
                                          const std::vector<WordsInName>& candidates,
                                          const std::vector<std::uint64_t>& bits);
    std::vector<Match> pathOnlyMatch(std::string_view needle);
    std::vector<Match> compiledWholeStore(const Query& query);
    std::vector<Match> soleRegex(const Query& query, const std::string& pattern);
    std::vector<Match> fuzzyScan(std::string_view needle, std::span<const Match> excluding);

    // Whether the names lie in the blob in record order, so that scans can run over the blob's
    // bytes instead of name by name.
    bool namesInRecordOrder() const;
    // Bit r set when record r's own name holds the (folded) needle, deleted or not.
    std::vector<std::uint64_t> nameHoldsBits(std::string_view foldedNeedle);

    std::shared_ptr<const IndexStore> store_;
    PathResolver resolver_;
    WorkerPool* pool_;
    std::shared_ptr<const TrigramIndex> trigrams_;
    std::unordered_map<std::string, std::unique_ptr<CompiledRegex>> regexCache_; // null: failed
    std::unordered_map<std::string, std::optional<std::string>> regexLiteralCache_;
    std::unordered_map<std::string, std::string> needleCache_;
    std::unordered_map<std::string, std::u16string> pathNeedleCache_;
    // Scratch of several-word queries: a bit per record and word, all zero between calls.
    std::vector<std::uint64_t> wordBits_;
};

} // namespace ulmaro
