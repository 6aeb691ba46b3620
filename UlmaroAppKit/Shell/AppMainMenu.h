#pragma once

#include "UlmaroAppKit/Panel/PanelKeyPress.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// What a main-menu item asks of the window that has the keyboard: the panel's own
/// actions, the field's standard editing commands, or quitting.
enum class AppMenuAction {
    terminate,
    undo,
    redo,
    cut,
    copyPathSelected,
    paste,
    selectAll,
    quickLookSelected,
    findCopiesSelected,
    openTerminalAtSelected,
    openSettingsFromPanel,
    toggleCheatSheet,
};

/// One item of a menu; a separator has no action.
struct AppMenuItem {
    std::string title;
    std::optional<AppMenuAction> action;
    /// The key as it types with no modifier ("q", ","); empty for a separator.
    std::string key;
    PanelKeyPress::Modifiers modifiers;

    bool isSeparator() const { return !action; }
    friend bool operator==(const AppMenuItem&, const AppMenuItem&) = default;
};

struct AppMenu {
    std::string title;
    std::vector<AppMenuItem> items;
    friend bool operator==(const AppMenu&, const AppMenu&) = default;
};

/// The application's main menu as data. The application shows no menu bar: the panel and
/// the application install these items as window shortcuts, Ctrl standing for Command.
struct AppMainMenu {
    /// The application menu (untitled, holding "Quit " + `appName`) and the Edit menu.
    static std::vector<AppMenu> make(std::string_view appName);
    static AppMenu editMenu();
};

} // namespace ulmaro
