#pragma once

#include "UlmaroAppKit/Search/ByteRange.h"
#include "UlmaroAppKit/Search/RowOrigin.h"
#include "UlmaroKit/Content/ContentSearcher.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// One result row, as the engine hands it to the panel.
///
/// `id` identifies the row within a list: a record ID of the main index; the complement of
/// a live delta record ID; for a catalog row a hash of catalog and path with both top bits
/// set (`CatalogSource::rowID`); for a content-index row the complement of a small value.
struct RankedRow {
    std::uint32_t id = 0;
    /// The last path component as stored, invalid UTF-8 repaired.
    std::string name{};
    /// The raw byte path, for the file system; views repair it for display. A catalog row
    /// shows where its drive is mounted now when it is, else where it was recorded.
    std::string path{};
    std::uint64_t size = 0;
    /// Seconds since 1970, as the record stores it.
    std::uint32_t mtime = 0;
    bool isApp = false;
    bool isDirectory = false;
    /// Where the name match begins, in bytes of the name.
    std::int64_t matchOffset = 0;
    /// Bytes of the whole query text for rows found by name; 0 for aliases and content rows.
    std::int64_t matchByteLength = 0;
    /// Bytes of `name` to emphasise, sorted and apart.
    std::vector<ByteRange> matchRanges{};
    /// The document line that matched a contents term.
    std::optional<ContentSearcher::Hit> contentMatch{};
    RowOrigin origin{};

    std::optional<std::string> catalogID() const;
    std::optional<std::string> catalogName() const;
    bool isOffline() const;
    /// "Offline · <catalog name>" for an offline catalog row.
    std::optional<std::string> offlineLabel() const;

    friend bool operator==(const RankedRow&, const RankedRow&) = default;
};

} // namespace ulmaro
