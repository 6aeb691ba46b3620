#include "UlmaroKit/Search/DuplicateFinder.h"

#include "UlmaroKit/Index/IndexStore.h"

#include <algorithm>
#include <string>

namespace ulmaro::DuplicateFinder {

namespace {

constexpr char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
}

bool equalFolded(std::string_view foldedName, std::string_view candidate) {
    for (std::size_t i = 0; i < foldedName.size(); ++i)
        if (fold(candidate[i]) != foldedName[i]) return false;
    return true;
}

} // namespace

std::vector<Copy> copies(std::string_view name, bool isDirectory, std::uint64_t size,
                         const IndexStore& store, std::optional<std::uint32_t> excluding,
                         std::int64_t limit) {
    std::vector<Copy> sameSize, others;
    if (name.empty() || limit < 1) return sameSize;
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), fold);
    const auto cap = static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(limit), store.count()));

    const FileRecord* records = store.records();
    const std::size_t count = store.count();
    for (std::size_t i = 0; i < count && sameSize.size() < cap; ++i) {
        const auto id = static_cast<std::uint32_t>(i);
        const FileRecord& r = records[i];
        if (r.nameLen != folded.size() || (excluding && *excluding == id)) continue;
        if (r.flags.contains(RecordFlags::deleted)) continue;
        if (r.flags.contains(RecordFlags::isDirectory) != isDirectory) continue;
        if (!equalFolded(folded, store.nameBytes(id))) continue;
        if (size != 0 && r.size == size)
            sameSize.push_back({id, true});
        else if (others.size() < cap) // more could never be returned
            others.push_back({id, false});
    }
    const std::size_t room = cap - sameSize.size();
    sameSize.insert(sameSize.end(), others.begin(),
                    others.begin() + static_cast<std::ptrdiff_t>(std::min(room, others.size())));
    return sameSize;
}

std::vector<Copy> copies(std::uint32_t id, const IndexStore& store, std::int64_t limit) {
    if (id >= store.count() || limit < 1) return {};
    const FileRecord& r = store[id];
    if (r.flags.contains(RecordFlags::deleted)) return {};
    return copies(store.nameBytes(id), r.flags.contains(RecordFlags::isDirectory), r.size, store,
                  id, limit);
}

} // namespace ulmaro::DuplicateFinder
