#include "UlmaroAppKit/Search/RowBuilding.h"

#include "UlmaroAppKit/Search/MatchHighlight.h"
#include "UlmaroKit/Index/IndexStore.h"

namespace ulmaro {

RankedRow RowBuilding::recordRow(const IndexStore& store, std::uint32_t record, std::uint32_t id,
                                 std::string path) {
    const FileRecord& r = store[record];
    return RankedRow{.id = id,
                     .name = store.name(record),
                     .path = std::move(path),
                     .size = r.size,
                     .mtime = r.mtime,
                     .isApp = r.flags.contains(RecordFlags::isApp),
                     .isDirectory = r.flags.contains(RecordFlags::isDirectory)};
}

void RowBuilding::addNameMatch(RankedRow& row, const Match& match, std::string_view text) {
    row.matchOffset = match.matchOffset;
    row.matchRanges = MatchHighlight::ranges(row.name, text);
    // The panel bolds the length from the offset when a row has no ranges; a query whose
    // words mark nothing in the name (filters only, say) must bold nothing.
    row.matchByteLength = row.matchRanges.empty() ? 0 : static_cast<std::int64_t>(text.size());
}

} // namespace ulmaro
