#include "UlmaroAppKit/Search/FolderPathCache.h"

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"

#include <vector>

namespace ulmaro {

const std::string* FolderPathCache::prefix(std::uint32_t folder) {
    if (const auto it = prefixes_.find(folder); it != prefixes_.end()) return &it->second;
    if (prefixes_.size() >= capacity_) prefixes_.clear();
    // Up to the first remembered folder or the top, then down again, remembering.
    std::vector<std::uint32_t> chain;
    const std::string* known = nullptr;
    std::uint32_t id = folder;
    for (;;) {
        if (chain.size() >= PathResolver::maxDepth) return nullptr; // a cycle
        chain.push_back(id);
        const std::uint32_t parent = (*store_)[id].parentID;
        if (parent == FileRecord::rootParentID) break;
        if (const auto it = prefixes_.find(parent); it != prefixes_.end()) {
            known = &it->second;
            break;
        }
        id = parent;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        std::string p;
        if (known != nullptr) {
            p.reserve(known->size() + 1 + (*store_)[*it].nameLen);
            p = *known;
            p += '/';
        }
        p += store_->nameBytes(*it);
        if (p.size() >= PathResolver::maxPathLength) return nullptr;
        known = &prefixes_.emplace(*it, std::move(p)).first->second;
    }
    return known;
}

std::optional<std::string> FolderPathCache::path(std::uint32_t id) {
    if (id >= store_->count()) return std::nullopt;
    const FileRecord& r = (*store_)[id];
    const std::string_view name = store_->nameBytes(id);
    if (r.parentID == FileRecord::rootParentID)
        return name.empty() ? std::string("/") : std::string(name);
    const std::string* folder = prefix(r.parentID);
    if (folder == nullptr) return std::nullopt;
    std::string p;
    p.reserve(folder->size() + 1 + name.size());
    p = *folder;
    p += '/';
    p += name;
    if (p.size() >= PathResolver::maxPathLength) return std::nullopt;
    return p;
}

} // namespace ulmaro
