#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"
#include "UlmaroAppKit/Platform/Workspace.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ulmaro {

/// What the folder browser does with an item of its list: the item a right-click or a
/// double-click concerns, its context menu, and opening it. Toolkit-free; the Qt list only
/// draws the entries and calls `perform`. Main thread only.
class CatalogItemActions {
public:
    struct MenuEntry {
        enum class Kind { open, reveal, copyPath };
        Kind kind;
        std::string title;
        /// The path taken when the menu was built: what "Reveal" shows and "Copy Path"
        /// copies (the empty text when there is none).
        std::string path;
        bool operator==(const MenuEntry&) const = default;
    };

    CatalogItemActions(CatalogBrowsing& model, Workspace& workspace)
        : model_(model), workspace_(workspace) {}

    /// The item of the current listing whose ID is in `ids` (a single selection: the first
    /// ID of the set), none for an empty set or an ID no longer listed.
    std::optional<CatalogBrowsing::Item> item(const std::set<std::uint32_t>& ids) const;

    /// None without an item; else "Open", "Reveal in File Manager" when the catalog is
    /// online and the item has a path, and "Copy Path".
    std::vector<MenuEntry> menu(const std::optional<CatalogBrowsing::Item>& item) const;

    /// Opens a folder in the browser, or an online file with its default application; any
    /// other file gives the message for the user ("Connect " + name + " to open this.").
    std::optional<std::string> activate(const CatalogBrowsing::Item& item) const;

    /// Runs a menu entry built for `item`; a message for the user, if any.
    std::optional<std::string> perform(const MenuEntry& entry,
                                       const CatalogBrowsing::Item& item) const;

private:
    CatalogBrowsing& model_;
    Workspace& workspace_;
};

} // namespace ulmaro
