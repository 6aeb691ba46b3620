#include "UlmaroAppKit/Settings/KeyCombo.h"
#include "UlmaroAppKit/Shell/X11KeyMap.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(X11KeyMap, KeyCodesAndKeysymsBothWays) {
    struct Case {
        std::uint32_t code;
        std::uint32_t keysym;
    };
    // One or more of each kind, with the Mac ANSI layout's irregular numbering.
    for (auto [code, keysym] : {
             Case{49, 0x20},    Case{36, 0xff0d},  Case{48, 0xff09},  Case{53, 0xff1b},
             Case{0, 'a'},      Case{1, 's'},      Case{6, 'z'},      Case{16, 'y'},
             Case{29, '0'},     Case{22, '6'},     Case{23, '5'},     Case{25, '9'},
             Case{24, '='},     Case{27, '-'},     Case{30, ']'},     Case{33, '['},
             Case{39, '\''},    Case{41, ';'},     Case{42, '\\'},    Case{43, ','},
             Case{44, '/'},     Case{47, '.'},     Case{50, '`'},     Case{51, 0xff08},
             Case{117, 0xffff}, Case{114, 0xff63}, Case{115, 0xff50}, Case{119, 0xff57},
             Case{116, 0xff55}, Case{121, 0xff56}, Case{123, 0xff51}, Case{124, 0xff53},
             Case{125, 0xff54}, Case{126, 0xff52}, Case{122, 0xffbe}, Case{120, 0xffbf},
             Case{99, 0xffc0},  Case{118, 0xffc1}, Case{96, 0xffc2},  Case{111, 0xffc9},
         }) {
        EXPECT_EQ(X11KeyMap::keysym(code), keysym) << "code " << code;
        EXPECT_EQ(X11KeyMap::keyCode(keysym), code) << "keysym " << std::hex << keysym;
    }
}

TEST(X11KeyMap, EveryNamedKeyHasAKeysymThatLeadsBack) {
    for (std::uint32_t code = 0; code < 128; ++code) {
        auto keysym = X11KeyMap::keysym(code);
        if (KeyCombo::keyName(code).rfind("Key ", 0) != 0) {
            EXPECT_TRUE(keysym) << code;
        }
        if (keysym) {
            EXPECT_EQ(X11KeyMap::keyCode(*keysym), code);
        }
    }
}

TEST(X11KeyMap, KeysOutsideTheTable) {
    EXPECT_EQ(X11KeyMap::keysym(10), std::nullopt) << "ISO section key";
    EXPECT_EQ(X11KeyMap::keysym(1000), std::nullopt);
    EXPECT_EQ(X11KeyMap::keyCode('K'), 40u) << "an upper-case letter is its key";
    EXPECT_EQ(X11KeyMap::keyCode('!'), std::nullopt);
    EXPECT_EQ(X11KeyMap::keyCode(0xffe9), std::nullopt) << "Alt_L is no key of a shortcut";
}

TEST(X11KeyMap, ModifiersBothWays) {
    struct Case {
        std::uint32_t carbon;
        std::uint16_t x;
    };
    for (auto [carbon, x] : {
             Case{0, 0},
             Case{KeyCombo::control, X11KeyMap::controlMask},
             Case{KeyCombo::option, X11KeyMap::mod1Mask},
             Case{KeyCombo::shift, X11KeyMap::shiftMask},
             Case{KeyCombo::command, X11KeyMap::mod4Mask},
             Case{KeyCombo::control | KeyCombo::shift | KeyCombo::command, 4 | 1 | 64},
         }) {
        EXPECT_EQ(X11KeyMap::modifierMask(carbon), x) << carbon;
        EXPECT_EQ(X11KeyMap::carbonModifiers(x), carbon) << x;
    }
    EXPECT_EQ(X11KeyMap::modifierMask(KeyCombo::option | 1024), X11KeyMap::mod1Mask);
    EXPECT_EQ(X11KeyMap::carbonModifiers(X11KeyMap::lockMask | 16 | X11KeyMap::mod1Mask),
              KeyCombo::option)
        << "CapsLock and NumLock have no Carbon flag";
}

} // namespace
} // namespace ulmaro
