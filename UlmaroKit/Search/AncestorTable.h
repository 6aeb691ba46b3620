#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;
class WorkerPool;

/// What ranking asks of a record and its ancestors, for every record of one store that lies
/// at most `maxDepth` levels below a record without parent: one word per record, built once
/// over the whole store in parallel, then read by any number of threads. Ranking a match
/// then reads the word instead of the record and its parent's chain. Records deeper than
/// that, and chains that loop, are not in it.
class AncestorTable {
public:
    static constexpr std::int32_t maxDepth = 256;

    /// What a folder passes on to its children.
    struct FolderFacts {
        /// Ancestors up to the record without parent.
        std::int32_t depth = 0;
        /// Links up to the nearest application among the folder and its ancestors; -1: none.
        std::int32_t appDistance = -1;
        /// The folder's own name or an ancestor's demotes what lies below it.
        bool demotesChildren = false;
    };
    /// What the record's own score reads.
    struct RecordFacts {
        std::int32_t depth = 0;
        /// An ancestor's name demotes it.
        bool demoted = false;
        /// Not an application, with one among its nearest 256 ancestors.
        bool insideApp = false;
        bool isApp = false;
        bool isHidden = false;
    };
    /// Whether a name demotes everything below its folder.
    using DemotesBelow = bool (*)(std::string_view name);

    AncestorTable() = default;
    static AncestorTable build(const IndexStore& store, DemotesBelow demotes, WorkerPool& pool);

    /// The record's word; read it with `known`, `folderFacts` and `recordFacts`.
    std::uint32_t word(std::uint32_t id) const { return id < words_.size() ? words_[id] : 0; }
    void prefetch(std::uint32_t id) const {
        if (id < words_.size()) __builtin_prefetch(&words_[id]);
    }
    std::size_t byteSize() const { return words_.size() * sizeof(std::uint32_t); }

    static bool known(std::uint32_t w) { return (w & knownBit) != 0; }
    static FolderFacts folderFacts(std::uint32_t w) {
        return {static_cast<std::int32_t>(w & 0x1FF),
                static_cast<std::int32_t>((w >> 9) & 0x1FF) - 1, (w & demotesChildrenBit) != 0};
    }
    static RecordFacts recordFacts(std::uint32_t w) {
        return {static_cast<std::int32_t>(w & 0x1FF), (w & demotedBit) != 0,
                (w & insideAppBit) != 0, (w & appBit) != 0, (w & hiddenBit) != 0};
    }

private:
    static constexpr std::uint32_t demotesChildrenBit = 1u << 18;
    static constexpr std::uint32_t demotedBit = 1u << 19;
    static constexpr std::uint32_t insideAppBit = 1u << 20;
    static constexpr std::uint32_t appBit = 1u << 21;
    static constexpr std::uint32_t hiddenBit = 1u << 22;
    static constexpr std::uint32_t knownBit = 1u << 31;

    std::vector<std::uint32_t> words_;
};

} // namespace ulmaro
