#include "UlmaroKit/Catalogs/FolderSizes.h"

#include "UlmaroKit/Index/IndexBuilder.h"

#include <vector>

namespace ulmaro {

void FolderSizes::rollUp(IndexBuilder& builder) {
    const std::size_t n = builder.records.size();
    std::vector<std::uint64_t> totals(n, 0);
    for (std::size_t i = n; i-- > 0;) {
        FileRecord& r = builder.records[i];
        if (r.flags.contains(RecordFlags::deleted)) continue;
        if (r.flags.contains(RecordFlags::isDirectory)) {
            r.size = totals[i];
            r.flags.insert(RecordFlags::attrsFilled);
        }
        if (r.parentID < n) totals[r.parentID] += r.size;
    }
}

} // namespace ulmaro
