#include "UlmaroKit/Catalogs/CatalogStats.h"

#include "UlmaroKit/Index/IndexBuilder.h"

#include <algorithm>

namespace ulmaro {

CatalogStats CatalogStats::measure(const IndexBuilder& builder,
                                   std::optional<std::uint32_t> rootID) {
    CatalogStats stats;
    for (const FileRecord& r : builder.records) {
        if (r.flags.contains(RecordFlags::deleted)) continue;
        if (r.flags.contains(RecordFlags::isDirectory))
            ++stats.folderCount;
        else
            ++stats.fileCount;
        if (r.parentID == FileRecord::rootParentID) stats.totalBytes += r.size;
    }
    if (rootID && *rootID < builder.records.size()) {
        // The folders from the file-system root down to the scanned root are no content.
        stats.folderCount = std::max<std::int64_t>(0, stats.folderCount - (*rootID + 1));
        stats.totalBytes = builder.records[*rootID].size;
    }
    return stats;
}

} // namespace ulmaro
