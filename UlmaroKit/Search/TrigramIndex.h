#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Block prefilter for name searches: for every trigram of ASCII-folded name bytes, the
/// ascending list of 1024-record blocks whose names contain it. A word of three bytes or
/// more can only occur in blocks holding all of its trigrams, so the matcher scans only
/// those. One index describes exactly one store (its record IDs and its checksum).
///
/// Immutable once built or loaded; any number of threads may query one at once. A loaded
/// index reads its arrays in place from the mapped cache file, so they cost clean, shared
/// page cache rather than the process's own memory; copies share the arrays.
class TrigramIndex {
public:
    static constexpr std::uint32_t blockSize = 1024;
    static constexpr std::size_t minNeedleLength = 3;
    static constexpr double usefulnessThreshold = 0.55;

    /// "GTUL" on disk.
    static constexpr std::uint32_t cacheMagic = 0x4C555447;
    static constexpr std::uint32_t cacheVersion = 1;

    /// Name bytes of record i, for i below the record count.
    using NameSource = std::function<std::string_view(std::uint32_t)>;

    /// The record IDs of one block, `begin` up to, not including, `end`.
    struct RecordRange {
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
        bool operator==(const RecordRange&) const = default;
    };

    /// The index of an empty store.
    TrigramIndex() = default;

    /// Builds the index of `count` records; `names` is read twice and must give the same
    /// bytes both times. `isCancelled` is polled every 65536 records of
    /// the first pass; a cancelled build returns nothing, never an index that would look
    /// valid and find nothing. Holds two 64 MiB tables while it runs (std::bad_alloc when
    /// they cannot be had).
    static std::optional<TrigramIndex> build(const NameSource& names, std::uint32_t count,
                                             const std::function<bool()>& isCancelled = {});

    /// The blocks that can hold the needle, ascending. Nothing when the index cannot narrow
    /// the search (needle under 3 bytes, or more than 55 % of the blocks qualify); an empty
    /// list when no block can hold it. Case of ASCII letters does not matter.
    std::optional<std::vector<std::uint32_t>> candidateBlocks(std::string_view needle) const;
    std::optional<std::vector<std::uint32_t>>
    candidateBlocks(std::span<const unsigned char> needle) const {
        return candidateBlocks(
            std::string_view(reinterpret_cast<const char*>(needle.data()), needle.size()));
    }

    /// The record IDs of `block` in a store of `recordCount` records; the block must start
    /// below the record count.
    static RecordRange range(std::uint32_t block, std::uint32_t recordCount);

    /// Writes the cache file atomically (a sibling "<name>.tmp.<tag>" of its own, then renamed over
    /// the target). Throws std::system_error, also when the target's folder does not exist.
    void write(const std::filesystem::path& path, std::uint64_t storeChecksum) const;

    /// Reads a cache file for the store with this checksum and record count. Never throws:
    /// a missing, foreign, other-store, wrongly sized or inconsistent file gives nothing,
    /// and the caller builds afresh.
    static std::optional<TrigramIndex> load(const std::filesystem::path& path,
                                            std::uint64_t storeChecksum,
                                            std::uint32_t recordCount) noexcept;

    /// The number of blocks for a store of `recordCount` records.
    static std::uint32_t blockCountFor(std::uint32_t recordCount) {
        return static_cast<std::uint32_t>((std::uint64_t{recordCount} + blockSize - 1) / blockSize);
    }

    std::span<const std::uint32_t> keys() const { return keys_; }
    std::span<const std::uint32_t> postingStart() const { return postingStart_; }
    std::span<const std::uint32_t> postings() const { return postings_; }
    std::uint32_t blockCount() const { return blockCount_; }

    /// Memory of the three arrays in bytes.
    std::size_t byteSize() const {
        return 4 * (keys_.size() + postingStart_.size() + postings_.size());
    }

    /// Equal arrays and block count, wherever they live.
    bool operator==(const TrigramIndex& other) const;

private:
    static constexpr std::uint32_t noPostings[1] = {0};

    std::span<const std::uint32_t> blocksFor(std::uint32_t key) const;

    /// What the arrays live in: a built index's own vectors, or the mapped cache file.
    std::shared_ptr<const void> storage_;
    std::span<const std::uint32_t> keys_;
    std::span<const std::uint32_t> postingStart_{noPostings};
    std::span<const std::uint32_t> postings_;
    std::uint32_t blockCount_ = 0;
};

} // namespace ulmaro
