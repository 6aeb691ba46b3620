#include "UlmaroAppKit/Settings/KeyCombo.h"
#include "UlmaroAppKit/Shell/X11KeyMap.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <utility>

namespace ulmaro {
namespace {

TEST(KeyCombo, NamesEveryKeyOfTheTableAndNumbersTheRest) {
    const std::pair<std::uint32_t, std::string> table[] = {
        {49, "Space"},
        {36, "Return"},
        {48, "Tab"},
        {53, "Esc"},
        {0, "A"},
        {11, "B"},
        {8, "C"},
        {2, "D"},
        {14, "E"},
        {3, "F"},
        {5, "G"},
        {4, "H"},
        {34, "I"},
        {38, "J"},
        {40, "K"},
        {37, "L"},
        {46, "M"},
        {45, "N"},
        {31, "O"},
        {35, "P"},
        {12, "Q"},
        {15, "R"},
        {1, "S"},
        {17, "T"},
        {32, "U"},
        {9, "V"},
        {13, "W"},
        {7, "X"},
        {16, "Y"},
        {6, "Z"},
        {29, "0"},
        {18, "1"},
        {19, "2"},
        {20, "3"},
        {21, "4"},
        {23, "5"},
        {22, "6"},
        {26, "7"},
        {28, "8"},
        {25, "9"},
        // The keys beyond the letters and digits, by their caps.
        {122, "F1"},
        {118, "F4"},
        {111, "F12"},
        {123, "Left"},
        {126, "Up"},
        {43, ","},
        {42, "\\"},
        {51, "Backspace"},
        {116, "Page Up"},
        // No key of the layout.
        {10, "Key 10"},
        {4294967295u, "Key 4294967295"},
    };
    for (const auto& [code, name] : table)
        EXPECT_EQ(KeyCombo::keyName(code), name) << code;
}

TEST(KeyCombo, EveryKeyTheHotKeyCanGrabHasAName) {
    std::set<std::string> names;
    for (std::uint32_t code = 0; code < 256; ++code) {
        if (!X11KeyMap::keysym(code)) continue;
        const std::string name = KeyCombo::keyName(code);
        EXPECT_FALSE(name.starts_with("Key ")) << code;
        EXPECT_TRUE(names.insert(name).second) << name << " names two keys";
    }
    EXPECT_EQ(names.size(), 74u);
}

TEST(KeyCombo, RefusesWhatWouldTakeAKeyFromEveryApplication) {
    const std::pair<KeyCombo, bool> table[] = {
        {KeyCombo::optionSpace, false},
        {{1, KeyCombo::option}, false},                    // Alt+S
        {{1, KeyCombo::command}, false},                   // Super+S
        {{122, KeyCombo::control}, false},                 // Ctrl+F1
        {{1, KeyCombo::shift}, true},                      // Shift+S types a capital
        {{122, KeyCombo::shift}, true},                    // Shift+F1: Shift alone
        {{48, KeyCombo::shift}, true},                     // Shift+Tab
        {{1, KeyCombo::shift | 0x400}, true},              // other bits do not count
        {{8, KeyCombo::control}, true},                    // Ctrl+C
        {{9, KeyCombo::control}, true},                    // Ctrl+V
        {{7, KeyCombo::control}, true},                    // Ctrl+X
        {{6, KeyCombo::control}, true},                    // Ctrl+Z
        {{0, KeyCombo::control}, true},                    // Ctrl+A
        {{51, KeyCombo::control}, true},                   // Ctrl+Backspace
        {{51, KeyCombo::option}, true},                    // Alt+Backspace
        {{48, KeyCombo::option}, true},                    // Alt+Tab
        {{118, KeyCombo::option}, true},                   // Alt+F4
        {{8, KeyCombo::option}, false},                    // Alt+C is free
        {{49, 0}, true},                                   // no modifier
        {{49, KeyCombo::option | KeyCombo::control}, true} // two
    };
    for (const auto& [combo, refused] : table)
        EXPECT_EQ(combo.refusal().has_value(), refused) << combo.display();
}

TEST(KeyCombo, IsValidWithExactlyOneOfTheFourModifiers) {
    const std::pair<std::uint32_t, bool> table[] = {
        {0, false},
        {2048, true},
        {2048 + 256, false},
        {2048 + 1024, true}, // 1024 is none of the four
        {256, true},
        {512, true},
        {4096, true},
        {4096 + 512 + 256 + 2048, false},
        {1024 + 0x10000, false},
    };
    for (auto [modifiers, valid] : table)
        EXPECT_EQ((KeyCombo{12, modifiers}.isValid()), valid) << modifiers;
}

TEST(KeyCombo, DisplaysLinuxModifierNamesInOrderThenTheKey) {
    const std::pair<KeyCombo, std::string> table[] = {
        {KeyCombo::optionSpace, "Alt+Space"},
        {{0, 256}, "Super+A"},
        {{122, 2048}, "Alt+F1"},
        {{123, 2048}, "Alt+Left"},
        {{43, 2048}, "Alt+,"},
        {{10, 2048}, "Alt+Key 10"},
        {{40, 4096 + 512 + 256}, "Ctrl+Shift+Super+K"},
        {{29, 0x1000 | 0x800 | 0x200 | 0x100 | 0x400}, "Ctrl+Alt+Shift+Super+0"},
        {{36, 0}, "Return"},
    };
    for (const auto& [combo, text] : table)
        EXPECT_EQ(combo.display(), text);
}

TEST(KeyCombo, OptionSpaceAndEquality) {
    EXPECT_EQ(KeyCombo::optionSpace, (KeyCombo{49, 2048}));
    EXPECT_NE(KeyCombo::optionSpace, (KeyCombo{49, 2048 + 1024}));
    EXPECT_NE(KeyCombo::optionSpace, (KeyCombo{48, 2048}));
}

} // namespace
} // namespace ulmaro
