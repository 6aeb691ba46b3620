#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace ulmaro {

/// Paths deleted since the main index was built (raw bytes, absolute, no trailing "/").
/// Built once per delta and shared, never changed, by every engine over that delta.
///
/// A folder moved or deleted as one event is one removed path, so its children, still in
/// the main index, must be hidden by their ancestor: `hides` asks for the path and every
/// folder above it in one pass over the bytes.
class RemovedPaths {
public:
    RemovedPaths() = default;
    explicit RemovedPaths(std::span<const std::string> paths);
    /// As the live delta hands them out.
    explicit RemovedPaths(const std::unordered_set<std::string>& paths);

    bool empty() const { return paths_.empty(); }
    std::size_t size() const { return paths_.size(); }
    bool contains(std::string_view path) const;
    /// Whether the path was removed, or lies (by whole components) under a removed path.
    bool hides(std::string_view path) const;

private:
    struct Hashed {
        std::string_view path;
        std::uint64_t hash;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view path) const;
        std::size_t operator()(const Hashed& key) const { return key.hash; }
    };
    struct Equal {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const { return a == b; }
        bool operator()(const Hashed& a, std::string_view b) const { return a.path == b; }
        bool operator()(std::string_view a, const Hashed& b) const { return a == b.path; }
    };

    static std::size_t filterWord(std::uint64_t hash) { return (hash >> 52) & (filterWords - 1); }
    static std::uint64_t filterBit(std::uint64_t hash) {
        return std::uint64_t{1} << ((hash >> 46) & 63);
    }
    void add(std::string_view path);
    bool mayHold(std::uint64_t hash) const {
        return (filter_[filterWord(hash)] & filterBit(hash)) != 0;
    }

    // One bit per path by its hash: most folders of most rows were never removed, and the
    // bit says so without a lookup in the set.
    static constexpr std::size_t filterWords = 1024;
    std::vector<std::uint64_t> filter_ = std::vector<std::uint64_t>(filterWords);
    std::unordered_set<std::string, Hash, Equal> paths_;
};

} // namespace ulmaro
