#pragma once

#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Catalogs/CatalogEntry.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// The catalog window's texts and colours for each catalog, from the library's entries and
/// the catalog pipeline's published values. Toolkit-free and pure.
struct CatalogWindowRules {
    /// The last failure text per catalog ID, present only while that catalog's last scan
    /// failed.
    using LastErrors = std::map<std::string, std::string>;
    /// The browser model's status of an entry ("Damaged", "Folder missing", "Imported file
    /// list", "Connected", "Offline").
    using EntryStatus = std::function<std::string(const CatalogEntry&)>;

    /// The dot's colour as a role: orange, the secondary text colour at 0.5, green.
    enum class Colour { orange, faded, green };

    /// First rule that applies: "Cataloguing… " + files so far (plain digits) + " files"
    /// while it scans; "Last scan failed"; else `entryStatus`.
    static std::string status(const CatalogEntry& entry,
                              const CatalogCoordinator::Activity& activity,
                              const LastErrors& lastErrors, const EntryStatus& entryStatus);
    /// Orange when damaged or its last scan failed; faded when its root is not present;
    /// else green.
    static Colour colour(const CatalogEntry& entry, const LastErrors& lastErrors);

    struct SidebarRow {
        /// The catalog's ID; its selection tag when `selectable`.
        std::string id;
        std::string name;
        std::string status;
        Colour colour;
        bool selectable;
        bool operator==(const SidebarRow&) const = default;
    };
    /// The library's entries in order, then each new catalog still being made
    /// ("Cataloguing…", orange, not selectable).
    static std::vector<SidebarRow> sidebarRows(const std::vector<CatalogEntry>& entries,
                                               const std::vector<CatalogInfo>& pendingNew,
                                               const CatalogCoordinator::Activity& activity,
                                               const LastErrors& lastErrors,
                                               const EntryStatus& entryStatus);

    /// "No catalogs yet" for an empty library, else "Choose a catalog".
    static std::string emptyTitle(bool libraryIsEmpty);
    /// A damaged catalog whose name is its ID lost its information file: it can only be
    /// catalogued again.
    static std::string damagedHint(const CatalogEntry& entry);
};

} // namespace ulmaro
