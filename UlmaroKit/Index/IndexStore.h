#pragma once

#include "UlmaroKit/Index/FileRecord.h"
#include "UlmaroKit/Index/IndexHeader.h"
#include "UlmaroKit/Index/IndexLoadOutcome.h"
#include "UlmaroKit/Platform/MappedFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace ulmaro {

/// The read side of an index file: mapped read-only, validated once, then served in place.
/// Immutable after opening and safe to read from any number of threads. Shared as
/// std::shared_ptr<const IndexStore> so the mapping lives as long as any reader.
///
/// Opening checks the header, the length, the checksum, and every record: its parentID is
/// 0xFFFFFFFF or below the record count and its name lies inside the blob. So IDs taken from
/// the store (0 to count − 1, parentIDs, matches) and name ranges are always safe to use.
class IndexStore {
public:
    /// Throws IndexError. A record that points outside the file is a checksumMismatch
    /// (damage, as far as callers are concerned).
    explicit IndexStore(const std::filesystem::path& path);
    static std::shared_ptr<const IndexStore> open(const std::filesystem::path& path);

    IndexStore(const IndexStore&) = delete;
    IndexStore& operator=(const IndexStore&) = delete;

    std::size_t count() const { return header_.recordCount; }
    const IndexHeader& header() const { return header_; }

    /// `id` must be below count().
    const FileRecord& operator[](std::uint32_t id) const { return records_[id]; }
    const FileRecord* records() const { return records_; }
    std::span<const FileRecord> recordSpan() const { return {records_, count()}; }

    /// The name bytes in the mapping: no copy, no terminator.
    std::string_view nameBytes(std::uint32_t id) const {
        const FileRecord& r = records_[id];
        return {blob_ + r.nameOffset, r.nameLen};
    }
    /// The name as text, each invalid UTF-8 sequence replaced by U+FFFD.
    std::string name(std::uint32_t id) const;
    /// The whole name blob.
    std::string_view nameBlob() const { return {blob_, header_.nameBlobLength}; }
    /// Whether each record's name starts at or after the end of the previous record's name, as
    /// the writer lays them out, so that a scan of the blob meets names in record order. Found
    /// while opening.
    bool namesInRecordOrder() const { return namesInRecordOrder_; }

private:
    IndexHeader header_;
    MappedFile mapping_;
    const FileRecord* records_ = nullptr;
    const char* blob_ = nullptr;
    bool namesInRecordOrder_ = false;
};

/// Opens the index at `path`, or says why it must be rebuilt. Never throws.
IndexLoadOutcome loadIndex(const std::filesystem::path& path) noexcept;

} // namespace ulmaro
