#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"

#include "UlmaroAppKit/Text/NaturalCompare.h"
#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace ulmaro {
namespace {

constexpr std::uint64_t largestSigned = std::numeric_limits<std::int64_t>::max();

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

bool hasDotComponent(std::string_view path) {
    for (const std::string_view part : components(path))
        if (part == "." || part == "..") return true;
    return false;
}

// "/" stands for the empty root, so that a path's own leading "/" is the separator.
std::string rootText(std::string root) {
    return root == "/" ? std::string() : root;
}

bool isInside(std::string_view path, std::string_view root) {
    return path == root || (path.starts_with(root) && path.substr(root.size()).starts_with('/'));
}

} // namespace

CatalogBrowserModel::CatalogBrowserModel(CatalogLibrary& library) : library_(library) {}

const CatalogEntry* CatalogBrowserModel::selectedEntry() const {
    return selectedID.get() ? library_.entry(*selectedID.get()) : nullptr;
}

void CatalogBrowserModel::select(const std::optional<std::string>& catalogID) {
    selectedID.set(catalogID);
    trail.set({});
    highlighted.set(std::nullopt);
    rebuildChildren();
    reloadItems();
}

void CatalogBrowserModel::open(const Item& item) {
    if (!item.isDirectory) return;
    std::vector<std::uint32_t> opened = trail.get();
    opened.push_back(item.id);
    trail.set(std::move(opened));
    highlighted.set(std::nullopt);
    reloadItems();
}

void CatalogBrowserModel::goUp() {
    if (trail.get().empty()) return;
    std::vector<std::uint32_t> up = trail.get();
    const std::uint32_t left = up.back();
    up.pop_back();
    trail.set(std::move(up));
    highlighted.set(left);
    reloadItems();
}

void CatalogBrowserModel::goTo(int depth) {
    std::vector<std::uint32_t> kept = trail.get();
    kept.resize(static_cast<std::size_t>(
        std::clamp<std::int64_t>(depth, 0, static_cast<std::int64_t>(kept.size()))));
    trail.set(std::move(kept));
    highlighted.set(std::nullopt);
    reloadItems();
}

std::vector<std::string> CatalogBrowserModel::breadcrumb() const {
    const CatalogEntry* entry = selectedEntry();
    if (!entry) return {};
    std::vector<std::string> crumbs{repairUtf8(entry->info.name)};
    if (!entry->store) return crumbs;
    for (const std::uint32_t id : trail.get())
        if (id < entry->store->count()) crumbs.push_back(entry->store->name(id));
    return crumbs;
}

void CatalogBrowserModel::rebuildChildren() {
    const CatalogEntry* entry = selectedEntry();
    if (!entry || !entry->store) {
        children_.reset();
        childrenStore_.reset();
        return;
    }
    if (childrenStore_ == entry->store) return;
    children_ = std::make_shared<const ChildrenIndex>(*entry->store);
    childrenStore_ = entry->store;
}

std::span<const std::uint32_t>
CatalogBrowserModel::childrenOf(std::optional<std::uint32_t> folder) const {
    if (!folder) return children_->roots;
    if (std::uint64_t{*folder} + 1 >= children_->start.size()) return {};
    return std::span(children_->ids)
        .subspan(children_->start[*folder],
                 children_->start[*folder + 1] - children_->start[*folder]);
}

std::vector<CatalogBrowserModel::Item>
CatalogBrowserModel::sortedItems(const IndexStore& store, std::span<const std::uint32_t> children) {
    struct Keyed {
        std::uint32_t id;
        bool isDirectory;
        std::string key;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(children.size());
    for (const std::uint32_t id : children) {
        if (id >= store.count()) continue;
        keyed.push_back({id, store[id].flags.contains(RecordFlags::isDirectory),
                         naturalSortKey(store.nameBytes(id))});
    }
    // Folders first; names that compare equal keep the children's (record) order.
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.isDirectory != b.isDirectory) return a.isDirectory;
        return a.key < b.key;
    });
    std::vector<Item> items;
    items.reserve(keyed.size());
    for (const Keyed& k : keyed) {
        const FileRecord& record = store[k.id];
        items.push_back({k.id, store.name(k.id), k.isDirectory, record.size, record.mtime});
    }
    return items;
}

void CatalogBrowserModel::reloadItems() {
    const CatalogEntry* entry = selectedEntry();
    shownOnline_ = entry && entry->isOnline();
    if (!entry || !entry->store || !children_) {
        items.set({});
        return;
    }
    const IndexStore& store = *entry->store;
    std::optional<std::uint32_t> folder =
        trail.get().empty() ? entry->info.rootRecordID : std::optional(trail.get().back());
    if (folder && *folder >= store.count()) {
        items.set({});
        return;
    }
    items.set(sortedItems(store, childrenOf(folder)));
}

void CatalogBrowserModel::reveal(const std::string& fullPath, const std::string& catalogID) {
    const std::string_view path = fullPath;
    select(catalogID);
    const CatalogEntry* entry = selectedEntry();
    if (!entry || !entry->store || !children_) return;
    const IndexStore& store = *entry->store;
    auto find = [&](std::span<const std::uint32_t> candidates, std::string_view name) {
        const auto it = std::find_if(candidates.begin(), candidates.end(), [&](std::uint32_t id) {
            return id < store.count() && store.nameBytes(id) == name;
        });
        return it == candidates.end() ? std::nullopt : std::optional(*it);
    };

    std::vector<std::uint32_t> walked;
    std::optional<std::uint32_t> folder = entry->info.rootRecordID;
    std::vector<std::string_view> parts;
    const std::string recordedOrCurrent = entry->currentRoot.value_or(entry->info.rootPath());
    if (recordedOrCurrent.empty()) {
        // No recorded root, as for an imported list: the path begins with a root record's
        // own (path-like) name.
        std::optional<std::uint32_t> root;
        for (const std::uint32_t id : children_->roots) {
            if (id >= store.count()) continue;
            const std::string_view name = store.nameBytes(id);
            if (path == name ||
                (path.starts_with(name) && path.substr(name.size()).starts_with('/'))) {
                root = id;
                break;
            }
        }
        if (!root) return;
        if (path == store.nameBytes(*root)) {
            highlighted.set(*root);
            reloadItems();
            return;
        }
        if (!store[*root].flags.contains(RecordFlags::isDirectory)) return;
        walked.push_back(*root);
        folder = *root;
        parts = components(path.substr(store.nameBytes(*root).size() + 1));
    } else {
        const std::string base = rootText(recordedOrCurrent);
        if (!path.starts_with(base) || !path.substr(base.size()).starts_with('/')) return;
        parts = components(path.substr(base.size() + 1));
    }

    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::optional<std::uint32_t> found = find(childrenOf(folder), parts[i]);
        if (!found) break;
        if (i + 1 == parts.size()) {
            highlighted.set(*found);
            break;
        }
        if (!store[*found].flags.contains(RecordFlags::isDirectory)) break;
        walked.push_back(*found);
        folder = *found;
    }
    trail.set(std::move(walked));
    reloadItems();
}

void CatalogBrowserModel::libraryChanged() {
    if (!selectedID.get()) return;
    if (!selectedEntry()) {
        select(std::nullopt);
        return;
    }
    const std::shared_ptr<const IndexStore> oldStore = childrenStore_;
    const bool wasOnline = shownOnline_;
    rebuildChildren();
    if (childrenStore_ != oldStore) {
        trail.set({});
        highlighted.set(std::nullopt);
        reloadItems();
    } else if (selectedEntry()->isOnline() != wasOnline) {
        reloadItems();
    }
}

std::optional<std::string> CatalogBrowserModel::path(const Item& item) const {
    const CatalogEntry* entry = selectedEntry();
    if (!entry || !entry->store || item.id >= entry->store->count()) return std::nullopt;
    std::optional<std::string> stored = PathResolver(*entry->store).rawAbsolutePath(item.id);
    if (!stored) return std::nullopt;
    const std::string recorded = rootText(entry->info.rootPath());
    if (entry->info.kind != CatalogInfo::Kind::efu &&
        (!isInside(*stored, recorded) || hasDotComponent(*stored)))
        return std::nullopt;
    if (!entry->currentRoot) return stored;
    const std::string current = rootText(*entry->currentRoot);
    if (current == recorded || !isInside(*stored, recorded)) return stored;
    std::string moved = current + stored->substr(recorded.size());
    return moved.empty() ? std::string("/") : moved;
}

std::string CatalogBrowserModel::status(const CatalogEntry& entry) {
    switch (entry.health.kind) {
    case CatalogEntry::Health::Kind::damaged:
        return "Damaged";
    case CatalogEntry::Health::Kind::folderMissing:
        return "Folder missing";
    case CatalogEntry::Health::Kind::ok:
        break;
    }
    if (entry.info.kind == CatalogInfo::Kind::efu) return "Imported file list";
    return entry.isOnline() ? "Connected" : "Offline";
}

std::vector<CatalogBrowserModel::InfoLine>
CatalogBrowserModel::infoLines(const CatalogEntry& entry) {
    const CatalogInfo& info = entry.info;
    auto bytes = [](std::int64_t value) {
        return formatByteCount(static_cast<std::uint64_t>(std::max<std::int64_t>(value, 0)));
    };
    auto date = [](const std::optional<CatalogInfo::Date>& when) {
        return when ? formatDateTime(*when) : std::string("Never");
    };
    std::vector<InfoLine> lines{{"Status", status(entry)}};
    if (info.capacityBytes) lines.push_back({"Capacity", bytes(*info.capacityBytes)});
    if (info.freeBytes) lines.push_back({"Free", bytes(*info.freeBytes)});
    lines.push_back({"Files", formatCount(info.fileCount)});
    lines.push_back({"Folders", formatCount(info.folderCount)});
    lines.push_back({"Total size", sizeText(info.totalBytes)});
    lines.push_back({"Last connected", date(info.lastConnected)});
    lines.push_back({"Last catalogued", date(info.lastCatalogued)});
    lines.push_back({"Location", repairUtf8(entry.currentRoot.value_or(info.rootPath()))});
    return lines;
}

std::string CatalogBrowserModel::sizeText(std::uint64_t bytes) {
    return formatByteCount(std::min(bytes, largestSigned));
}

std::string CatalogBrowserModel::dateText(std::uint32_t seconds) {
    if (seconds == 0) return {};
    return formatDateTime(WallTime(std::chrono::seconds(seconds)));
}

} // namespace ulmaro
