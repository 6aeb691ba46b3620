#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// What choosing a tray-menu item asks of `MenuBarMenuBuilder`.
enum class MenuAction {
    none,
    search,
    rebuild,
    openSettings,
    fixPermissions,
    revealDeniedPath,
    savedSearch,
    recentSearch,
    recentFile,
    openCatalog,
    clearRecents,
    resetPosition,
    toggleStartAtLogin,
    searchHelp,
    support,
    checkForUpdates,
    quit,
};

/// The one colour an item's symbol is drawn in; the view maps it to its palette.
enum class MenuTint { none, orange, secondary, green };

/// One item of the tray menu, toolkit-free. A separator carries nothing else.
struct MenuItemSpec {
    bool separator = false;
    std::string title{};
    MenuAction action = MenuAction::none;
    /// The item's argument: a query, a path or a catalog's ID.
    std::optional<std::string> payload{};
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    std::string tooltip{};
    /// A name of the symbol table, drawn in `tint`; empty for none. What it means is in
    /// the title, which is what accessibility reads.
    std::string symbol{};
    MenuTint tint = MenuTint::none;
    /// A key shown beside the title ("Ctrl+Q"); text only, never a live shortcut.
    std::string shortcutHint{};
    /// One of the index-health lines that refresh while the menu is open.
    bool healthLine = false;
    std::vector<MenuItemSpec> submenu{};

    static MenuItemSpec makeSeparator() { return {.separator = true}; }
    friend bool operator==(const MenuItemSpec&, const MenuItemSpec&) = default;
};

struct MenuSpec {
    std::vector<MenuItemSpec> items{};

    /// The health lines of the top level, in order.
    std::vector<std::size_t> healthLineIndexes() const {
        std::vector<std::size_t> indexes;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].healthLine) indexes.push_back(i);
        return indexes;
    }
    friend bool operator==(const MenuSpec&, const MenuSpec&) = default;
};

} // namespace ulmaro
