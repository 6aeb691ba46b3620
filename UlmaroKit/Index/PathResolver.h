#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ulmaro {

class IndexStore;

/// Turns record IDs into absolute paths by walking parent links. A small value over one
/// store, which must outlive it; any number of threads may use resolvers over the same store.
///
/// A path is at most `maxPathLength` − 1 bytes (the platform's PATH_MAX counts the
/// terminating 0). A chain that does not reach a record without parent within that length
/// — a cycle, or a chain too long to be a path — has no path: callers skip such records.
class PathResolver {
public:
    static constexpr std::size_t maxPathLength = 4096;
    /// The most parent links followed. Every link adds at least its "/" to the path, so
    /// the length bound is reached first; this only caps the walk.
    static constexpr std::size_t maxDepth = maxPathLength;

    explicit PathResolver(const IndexStore& store) : store_(&store) {}

    /// The path as text, invalid UTF-8 repaired (U+FFFD); nullopt when there is none.
    /// The root record (empty name, no parent) is "/"; a topmost record with a name gives a
    /// path without a leading "/".
    std::optional<std::string> absolutePath(std::uint32_t id) const;
    /// The same path as the raw name bytes, for the file system.
    std::optional<std::string> rawAbsolutePath(std::uint32_t id) const;
    /// The path of the record's parent; "/" for a record without parent.
    std::optional<std::string> parentPath(std::uint32_t id) const;
    /// Whether the record has no path: its chain is a cycle or too long (exactly when
    /// absolutePath answers nullopt).
    bool containsCycle(std::uint32_t id) const;

private:
    const IndexStore* store_;
};

} // namespace ulmaro
