#include "UlmaroAppKit/Settings/KeyCombo.h"

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
        // Not in the table.
        {122, "Key 122"},
        {10, "Key 10"},
        {4294967295u, "Key 4294967295"},
    };
    std::set<std::string> named;
    for (const auto& [code, name] : table) {
        EXPECT_EQ(KeyCombo::keyName(code), name) << code;
        if (!name.starts_with("Key ")) named.insert(name);
    }
    EXPECT_EQ(named.size(), 40u);
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
        {{122, 2048}, "Alt+Key 122"},
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
