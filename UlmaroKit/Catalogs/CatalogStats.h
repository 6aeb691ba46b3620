#pragma once

#include <cstdint>
#include <optional>

namespace ulmaro {

class IndexBuilder;

/// Counts of a catalog: files, folders and bytes.
struct CatalogStats {
    /// Non-deleted records that are not folders.
    std::int64_t fileCount = 0;
    /// Non-deleted folders, less the chain of folders down to the root when one is given.
    std::int64_t folderCount = 0;
    /// The root's size when a root is given, else the wrapping sum of the top-level sizes.
    std::uint64_t totalBytes = 0;

    friend bool operator==(const CatalogStats&, const CatalogStats&) = default;

    /// A root ID at or past the record count counts as no root.
    static CatalogStats measure(const IndexBuilder& builder,
                                std::optional<std::uint32_t> rootID = std::nullopt);
};

} // namespace ulmaro
