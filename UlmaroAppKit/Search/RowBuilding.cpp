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
    row.matchByteLength = static_cast<std::int64_t>(text.size());
    row.matchRanges = MatchHighlight::ranges(row.name, text);
}

} // namespace ulmaro
