#include "UlmaroAppKit/Catalogs/CatalogWindowRules.h"

namespace ulmaro {

std::string CatalogWindowRules::status(const CatalogEntry& entry,
                                       const CatalogCoordinator::Activity& activity,
                                       const LastErrors& lastErrors,
                                       const EntryStatus& entryStatus) {
    if (const auto* scanning = std::get_if<CatalogCoordinator::Scanning>(&activity);
        scanning && scanning->id == entry.id())
        return "Cataloguing\u2026 " + std::to_string(scanning->filesSoFar) + " files";
    if (lastErrors.contains(entry.id())) return "Last scan failed";
    return entryStatus ? entryStatus(entry) : std::string();
}

CatalogWindowRules::Colour CatalogWindowRules::colour(const CatalogEntry& entry,
                                                      const LastErrors& lastErrors) {
    if (entry.health.isDamaged() || lastErrors.contains(entry.id())) return Colour::orange;
    if (!entry.currentRoot) return Colour::faded;
    return Colour::green;
}

std::vector<CatalogWindowRules::SidebarRow>
CatalogWindowRules::sidebarRows(const std::vector<CatalogEntry>& entries,
                                const std::vector<CatalogInfo>& pendingNew,
                                const CatalogCoordinator::Activity& activity,
                                const LastErrors& lastErrors, const EntryStatus& entryStatus) {
    std::vector<SidebarRow> rows;
    rows.reserve(entries.size() + pendingNew.size());
    for (const CatalogEntry& entry : entries)
        rows.push_back({entry.id(), entry.info.name,
                        status(entry, activity, lastErrors, entryStatus), colour(entry, lastErrors),
                        true});
    for (const CatalogInfo& info : pendingNew)
        rows.push_back({info.id, info.name, "Cataloguing\u2026", Colour::orange, false});
    return rows;
}

std::string CatalogWindowRules::emptyTitle(bool libraryIsEmpty) {
    return libraryIsEmpty ? "No catalogs yet" : "Choose a catalog";
}

std::string CatalogWindowRules::damagedHint(const CatalogEntry& entry) {
    return entry.info.name == entry.info.id ? "Forget it, then catalog the drive again."
                                            : "Forget it, or rescan once the drive is connected.";
}

} // namespace ulmaro
