#pragma once

#include <cstdint>
#include <vector>

namespace ulmaro {

class IndexStore;

/// Parent-to-children lists of a loaded catalog index, for browsing it folder by folder.
/// Deleted records appear nowhere. Immutable once built; safe to read from any thread.
struct ChildrenIndex {
    /// Record count + 1 entries: the children of p are ids[start[p] .. start[p + 1]).
    std::vector<std::uint32_t> start;
    /// Child IDs grouped by parent, each group ascending.
    std::vector<std::uint32_t> ids;
    /// Records without a parent, ascending.
    std::vector<std::uint32_t> roots;

    explicit ChildrenIndex(const IndexStore& store);

    /// A copy of the children of `id`; empty for an ID outside the index.
    std::vector<std::uint32_t> children(std::uint32_t id) const;
};

} // namespace ulmaro
