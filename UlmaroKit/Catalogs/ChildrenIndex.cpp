#include "UlmaroKit/Catalogs/ChildrenIndex.h"

#include "UlmaroKit/Index/AttributeCarryForward.h"
#include "UlmaroKit/Index/IndexStore.h"

namespace ulmaro {

ChildrenIndex::ChildrenIndex(const IndexStore& store) {
    auto lists = AttributeCarryForward::CSR::build(store.recordSpan(), true);
    start = std::move(lists.offsets);
    ids = std::move(lists.childIDs);
    for (std::uint32_t i = 0; i < store.count(); ++i) {
        const FileRecord& r = store[i];
        if (r.parentID == FileRecord::rootParentID && !r.flags.contains(RecordFlags::deleted))
            roots.push_back(i);
    }
}

std::vector<std::uint32_t> ChildrenIndex::children(std::uint32_t id) const {
    // In 64 bits: the parent ID 0xFFFFFFFF must not wrap to 0.
    if (std::uint64_t{id} + 1 >= start.size()) return {};
    return {ids.begin() + start[id], ids.begin() + start[id + 1]};
}

} // namespace ulmaro
