#include "UlmaroAppKit/UI/MenuBar/AppMenuShortcut.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(AppMenuShortcut, EveryItemOfTheMainMenuHasItsCtrlKey) {
    std::vector<QKeySequence> shortcuts;
    for (const AppMenu& menu : AppMainMenu::make("Ulmaro"))
        for (const AppMenuItem& item : menu.items)
            shortcuts.push_back(appMenuShortcut(item));
    const std::vector<QKeySequence> expected = {
        QKeySequence(Qt::CTRL | Qt::Key_Q),
        QKeySequence(Qt::CTRL | Qt::Key_Z),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
        QKeySequence(),
        QKeySequence(Qt::CTRL | Qt::Key_X),
        QKeySequence(Qt::CTRL | Qt::Key_C),
        QKeySequence(Qt::CTRL | Qt::Key_V),
        QKeySequence(Qt::CTRL | Qt::Key_A),
        QKeySequence(),
        QKeySequence(Qt::CTRL | Qt::Key_Y),
        QKeySequence(Qt::CTRL | Qt::Key_D),
        QKeySequence(Qt::CTRL | Qt::Key_T),
        QKeySequence(Qt::CTRL | Qt::Key_Comma),
        QKeySequence(Qt::CTRL | Qt::Key_Slash),
    };
    EXPECT_EQ(shortcuts, expected);
}

} // namespace
} // namespace ulmaro
