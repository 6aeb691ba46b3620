#include "UlmaroAppKit/Catalogs/CatalogItemActions.h"

namespace ulmaro {

std::optional<CatalogBrowsing::Item>
CatalogItemActions::item(const std::set<std::uint32_t>& ids) const {
    if (ids.empty()) return std::nullopt;
    const std::uint32_t id = *ids.begin();
    for (const auto& item : model_.items.get())
        if (item.id == id) return item;
    return std::nullopt;
}

std::vector<CatalogItemActions::MenuEntry>
CatalogItemActions::menu(const std::optional<CatalogBrowsing::Item>& item) const {
    if (!item) return {};
    const CatalogEntry* entry = model_.selectedEntry();
    const std::optional<std::string> path = model_.path(*item);
    std::vector<MenuEntry> entries;
    entries.push_back({MenuEntry::Kind::open, "Open", {}});
    if (entry && entry->isOnline() && path)
        entries.push_back({MenuEntry::Kind::reveal, "Reveal in File Manager", *path});
    entries.push_back({MenuEntry::Kind::copyPath, "Copy Path", path.value_or(std::string())});
    return entries;
}

std::optional<std::string> CatalogItemActions::activate(const CatalogBrowsing::Item& item) const {
    if (item.isDirectory) {
        model_.open(item);
        return std::nullopt;
    }
    const CatalogEntry* entry = model_.selectedEntry();
    if (entry && entry->isOnline())
        if (auto path = model_.path(item)) {
            workspace_.open(*path);
            return std::nullopt;
        }
    return "Connect " + (entry ? entry->info.name : std::string()) + " to open this.";
}

std::optional<std::string> CatalogItemActions::perform(const MenuEntry& entry,
                                                       const CatalogBrowsing::Item& item) const {
    switch (entry.kind) {
    case MenuEntry::Kind::open:
        return activate(item);
    case MenuEntry::Kind::reveal:
        workspace_.reveal(entry.path);
        return std::nullopt;
    case MenuEntry::Kind::copyPath:
        workspace_.copyText(entry.path);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace ulmaro
