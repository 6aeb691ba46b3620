#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace ulmaro {

class IndexStore;

/// Raw record paths of one store, the same as `PathResolver::rawAbsolutePath`, with the
/// paths of folders remembered between calls. Results of one keystroke share their folders
/// with each other and with the next keystroke's, so most paths cost a lookup and a copy
/// instead of a walk through parent records scattered over the index, a cache miss a step.
/// Forgets everything once it holds `capacity` folders. One thread at a time.
class FolderPathCache {
public:
    explicit FolderPathCache(const IndexStore& store, std::size_t capacity = 1 << 16)
        : store_(&store), capacity_(capacity) {}

    /// Nothing when the record's chain is a cycle or its path is too long.
    std::optional<std::string> path(std::uint32_t id);

    std::size_t size() const { return prefixes_.size(); }

private:
    /// What a child's path starts with before its "/" ("" for the root); null when none.
    const std::string* prefix(std::uint32_t folder);

    const IndexStore* store_;
    std::size_t capacity_;
    std::unordered_map<std::uint32_t, std::string> prefixes_;
};

} // namespace ulmaro
