#pragma once

#include "UlmaroKit/Index/RecordFlags.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace ulmaro {

static_assert(std::endian::native == std::endian::little,
              "index files are little-endian and records are read in place");

/// One 24-byte record of an index file. The in-memory layout is the on-disk layout, so a
/// store reads records in place from its mapping. A record's ID is its position.
struct FileRecord {
    static constexpr std::uint32_t rootParentID = 0xFFFFFFFF;

    std::uint32_t parentID = rootParentID;
    /// Offset of the name's first byte in the name blob.
    std::uint32_t nameOffset = 0;
    /// 0 unless `flags` holds attrsFilled.
    std::uint64_t size = 0;
    /// Seconds since 1970-01-01 UTC; 0 unless `flags` holds attrsFilled.
    std::uint32_t mtime = 0;
    std::uint8_t nameLen = 0;
    RecordFlags flags;
    std::uint8_t volumeIndex = 0;
    std::uint8_t reserved = 0;

    friend bool operator==(const FileRecord&, const FileRecord&) = default;
};

static_assert(sizeof(FileRecord) == 24);
static_assert(alignof(FileRecord) == 8);
static_assert(std::is_trivially_copyable_v<FileRecord>);
static_assert(std::is_standard_layout_v<FileRecord>);
static_assert(offsetof(FileRecord, parentID) == 0);
static_assert(offsetof(FileRecord, nameOffset) == 4);
static_assert(offsetof(FileRecord, size) == 8);
static_assert(offsetof(FileRecord, mtime) == 16);
static_assert(offsetof(FileRecord, nameLen) == 20);
static_assert(offsetof(FileRecord, flags) == 21);
static_assert(offsetof(FileRecord, volumeIndex) == 22);
static_assert(offsetof(FileRecord, reserved) == 23);

} // namespace ulmaro
