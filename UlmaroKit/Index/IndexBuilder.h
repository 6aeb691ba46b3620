#pragma once

#include "UlmaroKit/Index/FileRecord.h"
#include "UlmaroKit/Index/RecordFlags.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;

/// The growing, in-memory form of an index: records in ID order and one blob of names.
/// Used by one thread at a time.
///
/// Records and blob bytes are capped at 0xFFFFFFFF each (they are stored as u32, and the
/// ID 0xFFFFFFFF means "no parent"); an operation that would pass a cap throws
/// std::length_error and leaves the builder as it was.
class IndexBuilder {
public:
    static constexpr std::uint64_t maxRecords = 0xFFFFFFFF;
    static constexpr std::uint64_t maxBlobBytes = 0xFFFFFFFF;
    static constexpr std::size_t maxNameLength = 255;

    std::vector<FileRecord> records;
    std::vector<unsigned char> nameBlob;

    explicit IndexBuilder(std::size_t reservingRecords = 0, std::size_t reservingBlobBytes = 0);

    /// Appends one record and returns its ID. Only the first 255 bytes of the name are kept,
    /// cut at that byte count even inside a multi-byte character.
    std::uint32_t addEntry(std::string_view nameBytes, std::uint32_t parentID, RecordFlags flags,
                           std::uint8_t volumeIndex);

    /// Stores size and mtime of record `id` and adds attrsFilled; other flags stay.
    /// Throws std::out_of_range for an ID the builder does not hold.
    void setAttributes(std::uint32_t id, std::uint64_t size, std::uint32_t mtime);

    /// Appends the records of one volume of `store`, in ID order, each under its copied
    /// parent; a record whose parent was not copied is skipped, and so is everything below
    /// it. Sizes and times are kept only from records with attrsFilled. Returns the new ID
    /// of the first record copied, or nothing when nothing was copied.
    std::optional<std::uint32_t> copyVolume(const IndexStore& store, std::uint8_t volumeIndex,
                                            std::uint8_t newVolumeIndex);

    /// The name as text, each invalid UTF-8 sequence replaced by U+FFFD.
    std::string name(std::uint32_t id) const;
    /// The stored name bytes (valid until the builder next grows).
    std::string_view nameBytes(std::uint32_t id) const;

    /// Appends all of `other`'s records and names; its roots are attached to `attachingTo`.
    /// Element j of the result is the new ID of other's record j.
    std::vector<std::uint32_t> merge(const IndexBuilder& other, std::uint32_t attachingTo);

    std::size_t count() const { return records.size(); }
};

/// Throws std::length_error when an index of that many records or blob bytes cannot be
/// stored in the file format.
void checkIndexLimits(std::uint64_t recordCount, std::uint64_t blobBytes);

} // namespace ulmaro
