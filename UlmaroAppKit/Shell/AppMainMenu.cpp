#include "UlmaroAppKit/Shell/AppMainMenu.h"

namespace ulmaro {
namespace {

constexpr PanelKeyPress::Modifiers ctrl{.ctrl = true};
constexpr PanelKeyPress::Modifiers ctrlShift{.shift = true, .ctrl = true};

AppMenuItem item(std::string title, AppMenuAction action, std::string key,
                 PanelKeyPress::Modifiers modifiers = ctrl) {
    return {std::move(title), action, std::move(key), modifiers};
}

AppMenuItem separator() {
    return {};
}

} // namespace

std::vector<AppMenu> AppMainMenu::make(std::string_view appName) {
    AppMenu application{{}, {item("Quit " + std::string(appName), AppMenuAction::terminate, "q")}};
    return {std::move(application), editMenu()};
}

AppMenu AppMainMenu::editMenu() {
    // Copy is the panel's copy of the selected path, not the field's copy.
    return {"Edit",
            {item("Undo", AppMenuAction::undo, "z"),
             item("Redo", AppMenuAction::redo, "z", ctrlShift), separator(),
             item("Cut", AppMenuAction::cut, "x"),
             item("Copy", AppMenuAction::copyPathSelected, "c"),
             item("Paste", AppMenuAction::paste, "v"),
             item("Select All", AppMenuAction::selectAll, "a"), separator(),
             item("Preview", AppMenuAction::quickLookSelected, "y"),
             item("Other Copies", AppMenuAction::findCopiesSelected, "d"),
             item("Open Terminal Here", AppMenuAction::openTerminalAtSelected, "t"),
             item("Settings…", AppMenuAction::openSettingsFromPanel, ","),
             item("Search Help", AppMenuAction::toggleCheatSheet, "/")}};
}

} // namespace ulmaro
