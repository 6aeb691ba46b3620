#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;

/// Finds the other copies of an item in an index: same name (ASCII letters folded, other
/// bytes exact), same kind, and copies of the same known size first.
namespace DuplicateFinder {

struct Copy {
    std::uint32_t id = 0;
    bool sameSize = false; // both sizes known (non-zero) and equal

    friend bool operator==(const Copy&, const Copy&) = default;
};

/// `size` 0 means unknown; `excluding` is the item's own ID when it lives in `store`.
std::vector<Copy> copies(std::string_view name, bool isDirectory, std::uint64_t size,
                         const IndexStore& store, std::optional<std::uint32_t> excluding,
                         std::int64_t limit);

/// The copies of a record of `store` itself; nothing for an unknown ID, a limit below 1 or
/// a deleted record.
std::vector<Copy> copies(std::uint32_t id, const IndexStore& store, std::int64_t limit);

} // namespace DuplicateFinder

} // namespace ulmaro
