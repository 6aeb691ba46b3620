#pragma once

#include "UlmaroKit/Search/Match.h"

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace ulmaro {

class AncestorTable;
class IndexStore;
struct FileRecord;

struct RankedResult {
    Match match;
    std::int32_t score = 0;

    friend bool operator==(const RankedResult&, const RankedResult&) = default;
};

/// Puts the matches of one index into display order and keeps the best few: by quality
/// bucket first (applications matched exact, prefix or at a word start lifted into the
/// first), then by a position score inside each bucket. One ranker per store, used by one
/// thread at a time; its ancestor cache only grows, as the store never changes.
class Ranker {
public:
    explicit Ranker(std::shared_ptr<const IndexStore> store);
    ~Ranker();
    Ranker(Ranker&&) noexcept;
    Ranker& operator=(Ranker&&) noexcept;

    /// From this many matches on, `rank` scores on the worker pool, reading every folder's
    /// ancestors from a table of the whole store that the first such call builds. Rankers of
    /// one store share it: one made while another holds it starts with it.
    static constexpr std::size_t parallelThreshold = 32768;

    /// At most `limit` results in display order; nothing for a limit below 1.
    std::vector<RankedResult> rank(std::span<const Match> matches, std::int64_t limit);

    /// The position score of one match (higher is better); `match.id` must be a record of the
    /// store. rank() passes over matches whose ID is not.
    std::int32_t score(const Match& match);

    /// Folder names that demote everything below them (compared byte for byte).
    static const std::set<std::string>& demotedPathComponents();

private:
    struct AncestorInfo;
    class DirectoryCache;

    AncestorInfo ancestorInfo(std::uint32_t directory);
    bool hasAppWithin256(std::uint32_t parent) const;
    /// The score of a record below `parent` (null for a record without parent).
    std::int32_t scoreBelow(const FileRecord& r, const AncestorInfo* parent,
                            const Match& match) const;
    void prefetchAhead(std::span<const Match> matches, std::size_t i) const;
    std::vector<RankedResult> rankInParallel(std::span<const Match> matches, std::int64_t limit);

    std::shared_ptr<const IndexStore> store_;
    std::unique_ptr<DirectoryCache> directoryCache_;
    std::shared_ptr<const AncestorTable> ancestors_;
};

} // namespace ulmaro
