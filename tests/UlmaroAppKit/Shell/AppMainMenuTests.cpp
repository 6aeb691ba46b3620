#include "UlmaroAppKit/Shell/AppMainMenu.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Action = AppMenuAction;

TEST(AppMainMenu, HoldsTheQuitItemThenTheEditMenuWithCtrlKeys) {
    const auto menus = AppMainMenu::make("Ulmaro");
    ASSERT_EQ(menus.size(), 2u);
    const PanelKeyPress::Modifiers ctrl{.ctrl = true};
    EXPECT_EQ(menus[0], (AppMenu{"", {{"Quit Ulmaro", Action::terminate, "q", ctrl}}}));
    EXPECT_EQ(menus[1], AppMainMenu::editMenu());

    const PanelKeyPress::Modifiers ctrlShift{.shift = true, .ctrl = true};
    const AppMenuItem separator{};
    const AppMenu expected{"Edit",
                           {{"Undo", Action::undo, "z", ctrl},
                            {"Redo", Action::redo, "z", ctrlShift},
                            separator,
                            {"Cut", Action::cut, "x", ctrl},
                            {"Copy", Action::copyPathSelected, "c", ctrl},
                            {"Paste", Action::paste, "v", ctrl},
                            {"Select All", Action::selectAll, "a", ctrl},
                            separator,
                            {"Preview", Action::quickLookSelected, "y", ctrl},
                            {"Other Copies", Action::findCopiesSelected, "d", ctrl},
                            {"Open Terminal Here", Action::openTerminalAtSelected, "t", ctrl},
                            {"Settings…", Action::openSettingsFromPanel, ",", ctrl},
                            {"Search Help", Action::toggleCheatSheet, "/", ctrl}}};
    EXPECT_EQ(menus[1], expected);
    EXPECT_TRUE(expected.items[2].isSeparator());
    EXPECT_FALSE(expected.items[0].isSeparator());
}

} // namespace
} // namespace ulmaro
