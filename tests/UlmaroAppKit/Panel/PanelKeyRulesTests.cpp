#include "UlmaroAppKit/Panel/PanelKeyRules.h"
#include "UlmaroAppKit/Panel/QuickLookKeyAction.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using Key = PanelKeyPress::Key;
using Kind = PanelKeyRules::Decision::Kind;

struct Mods {
    bool shift = false, ctrl = false, alt = false, super = false;
};

PanelKeyPress press(Key key, std::string text, Mods m = {}) {
    return {key, std::move(text), {m.shift, m.ctrl, m.alt, m.super}};
}

TEST(QuickLookKeyAction, ClassifiesPreviewKeys) {
    struct Row {
        const char* what;
        std::optional<PanelKeyPress> key;
        QuickLookKeyAction expected;
    };
    const std::vector<Row> rows = {
        {"no key", std::nullopt, QuickLookKeyAction::passThrough()},
        {"Escape", press(Key::escape, ""), QuickLookKeyAction::close()},
        {"Down", press(Key::down, ""), QuickLookKeyAction::move(+1)},
        {"Up", press(Key::up, ""), QuickLookKeyAction::move(-1)},
        {"Shift+Down", press(Key::down, "", {.shift = true}), QuickLookKeyAction::move(+1)},
        {"Space", press(Key::other, " "), QuickLookKeyAction::close()},
        {"Ctrl+Alt+Space", press(Key::other, " ", {.ctrl = true, .alt = true}),
         QuickLookKeyAction::close()},
        {"Ctrl+Y", press(Key::other, "y", {.ctrl = true}), QuickLookKeyAction::close()},
        {"Ctrl+Shift+Y", press(Key::other, "Y", {.shift = true, .ctrl = true}),
         QuickLookKeyAction::close()},
        {"Y alone", press(Key::other, "y"), QuickLookKeyAction::passThrough()},
        {"Alt+Y", press(Key::other, "y", {.alt = true}), QuickLookKeyAction::passThrough()},
        {"Return", press(Key::returnKey, "\r"), QuickLookKeyAction::passThrough()},
        {"a", press(Key::other, "a"), QuickLookKeyAction::passThrough()},
    };
    for (const Row& row : rows)
        EXPECT_EQ(QuickLookKeyAction::classify(row.key), row.expected) << row.what;
    EXPECT_NE(QuickLookKeyAction::move(1), QuickLookKeyAction::move(-1));
}

TEST(PanelKeyRules, ClassifiesPanelKeys) {
    const PanelKeyRules::Context all{true, true, true, true};
    const PanelKeyRules::Context typing{false, true, true, true};
    const PanelKeyRules::Context noPath{true, false, true, true};
    const PanelKeyRules::Context noHandlers{true, true, false, false};
    struct Row {
        const char* what;
        PanelKeyPress key;
        PanelKeyRules::Context context;
        PanelKeyRules::Decision expected;
    };
    const std::vector<Row> rows = {
        {"Space while typing types", press(Key::other, " "), typing, {}},
        {"Space while browsing previews", press(Key::other, " "), all, {Kind::toggleQuickLook}},
        {"Shift+Space while browsing previews",
         press(Key::other, " ", {.shift = true}),
         all,
         {Kind::toggleQuickLook}},
        {"Super+Alt+Space while browsing previews",
         press(Key::other, " ", {.alt = true, .super = true}),
         all,
         {Kind::toggleQuickLook}},
        {"Ctrl+Space never previews", press(Key::other, " ", {.ctrl = true}), all, {}},
        {"Space with no path types", press(Key::other, " "), noPath, {}},
        {"Ctrl+1 is a filter key",
         press(Key::other, "1", {.ctrl = true}),
         all,
         {Kind::filterDigit, '1'}},
        {"Ctrl+9 is swallowed",
         press(Key::other, "9", {.ctrl = true}),
         all,
         {Kind::filterDigit, '9'}},
        {"Ctrl+0 is swallowed",
         press(Key::other, "0", {.ctrl = true}),
         typing,
         {Kind::filterDigit, '0'}},
        {"Ctrl+Shift+1 is no filter key",
         press(Key::other, "1", {.shift = true, .ctrl = true}),
         all,
         {}},
        {"Ctrl+Alt+1 is no filter key",
         press(Key::other, "1", {.ctrl = true, .alt = true}),
         all,
         {}},
        {"Ctrl+Super+1 is no filter key",
         press(Key::other, "1", {.ctrl = true, .super = true}),
         all,
         {}},
        {"1 alone types", press(Key::other, "1"), all, {}},
        {"Ctrl+digit with no handler goes on",
         press(Key::other, "3", {.ctrl = true}),
         noHandlers,
         {}},
        {"Ctrl+Return reveals", press(Key::returnKey, "\r", {.ctrl = true}), all, {Kind::reveal}},
        {"Ctrl+keypad Enter reveals",
         press(Key::keypadEnter, "\r", {.ctrl = true}),
         all,
         {Kind::reveal}},
        {"Super+Ctrl+Return does not",
         press(Key::returnKey, "\r", {.ctrl = true, .super = true}),
         all,
         {}},
        {"Return alone goes on", press(Key::returnKey, "\r"), all, {}},
        {"Ctrl+Return with no handler goes on",
         press(Key::returnKey, "\r", {.ctrl = true}),
         noHandlers,
         {}},
        {"Ctrl+C goes on to the copy action", press(Key::other, "c", {.ctrl = true}), all, {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PanelKeyRules::classify(row.key, row.context), row.expected) << row.what;
}

TEST(PanelKeyRules, CopyPrefersTheUsersSelectionThenThePath) {
    EXPECT_FALSE(PanelKeyRules::fieldSelectionIsDeliberate(0, false));
    EXPECT_TRUE(PanelKeyRules::fieldSelectionIsDeliberate(1, false));
    EXPECT_FALSE(PanelKeyRules::fieldSelectionIsDeliberate(5, true));

    using Outcome = PanelKeyRules::CopyOutcome;
    int pathCopies = 0;
    auto copyPath = [&](bool selected) {
        return [&pathCopies, selected] {
            ++pathCopies;
            return selected;
        };
    };
    auto is = [](bool v) { return [v] { return v; }; };

    EXPECT_EQ(PanelKeyRules::copy(is(true), copyPath(true)), Outcome::fieldCopy);
    EXPECT_EQ(pathCopies, 0) << "a deliberate field selection never copies the path";
    EXPECT_EQ(PanelKeyRules::copy(is(false), copyPath(true)), Outcome::pathCopied);
    EXPECT_EQ(PanelKeyRules::copy({}, copyPath(true)), Outcome::pathCopied);
    EXPECT_EQ(PanelKeyRules::copy(is(false), copyPath(false)), Outcome::fieldCopy);
    EXPECT_EQ(PanelKeyRules::copy({}, {}), Outcome::fieldCopy);
}

} // namespace
} // namespace ulmaro
