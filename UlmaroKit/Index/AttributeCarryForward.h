#pragma once

#include "UlmaroKit/Index/FileRecord.h"

#include <cstdint>
#include <span>
#include <vector>

namespace ulmaro {

class IndexBuilder;
class IndexStore;

/// Copies sizes and dates from a previous index into a fresh scan, pairing records by their
/// whole path (name bytes compared exactly, level by level from the roots), so that the
/// attribute filler only has to read what is new or moved.
struct AttributeCarryForward {
    /// Children lists in compressed-row form: the children of record i are
    /// childIDs[offsets[i] .. offsets[i + 1]), in increasing ID order. A record is a child
    /// only when its parentID is below the record count (0xFFFFFFFF included in "not").
    struct CSR {
        std::vector<std::uint32_t> offsets;
        std::vector<std::uint32_t> childIDs;

        /// Counting pass, running sums, placing pass. With `skipDeleted`, deleted records
        /// are nobody's children.
        static CSR build(std::span<const FileRecord> records, bool skipDeleted = false);

        /// The children of `id`; empty for an ID outside the lists.
        std::span<const std::uint32_t> ids(std::uint32_t id) const;
    };

    /// Fills the builder's records from their counterparts in `previous` that hold
    /// attributes, adding attrsFilled; returns how many records received attributes.
    static std::int64_t carry(const IndexStore& previous, IndexBuilder& builder);
};

} // namespace ulmaro
