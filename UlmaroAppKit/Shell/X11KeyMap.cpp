#include "UlmaroAppKit/Shell/X11KeyMap.h"

#include "UlmaroAppKit/Settings/KeyCombo.h"

#include <utility>

namespace ulmaro {
namespace {

// Mac ANSI key code → X keysym (keysymdef.h values; Latin-1 keysyms equal their character).
constexpr std::pair<std::uint32_t, std::uint32_t> keysyms[] = {
    // Letters.
    {0, 'a'},
    {11, 'b'},
    {8, 'c'},
    {2, 'd'},
    {14, 'e'},
    {3, 'f'},
    {5, 'g'},
    {4, 'h'},
    {34, 'i'},
    {38, 'j'},
    {40, 'k'},
    {37, 'l'},
    {46, 'm'},
    {45, 'n'},
    {31, 'o'},
    {35, 'p'},
    {12, 'q'},
    {15, 'r'},
    {1, 's'},
    {17, 't'},
    {32, 'u'},
    {9, 'v'},
    {13, 'w'},
    {7, 'x'},
    {16, 'y'},
    {6, 'z'},
    // Digits.
    {29, '0'},
    {18, '1'},
    {19, '2'},
    {20, '3'},
    {21, '4'},
    {23, '5'},
    {22, '6'},
    {26, '7'},
    {28, '8'},
    {25, '9'},
    // Punctuation.
    {24, '='},
    {27, '-'},
    {30, ']'},
    {33, '['},
    {39, '\''},
    {41, ';'},
    {42, '\\'},
    {43, ','},
    {44, '/'},
    {47, '.'},
    {50, '`'},
    // Space, Return, Tab, Escape, Backspace (the Mac "Delete").
    {49, ' '},
    {36, 0xff0d},
    {48, 0xff09},
    {53, 0xff1b},
    {51, 0xff08},
    // Editing: Insert (the Mac "Help" place), Delete, Home, End, Page Up, Page Down.
    {114, 0xff63},
    {117, 0xffff},
    {115, 0xff50},
    {119, 0xff57},
    {116, 0xff55},
    {121, 0xff56},
    // Arrows: left, right, down, up.
    {123, 0xff51},
    {124, 0xff53},
    {125, 0xff54},
    {126, 0xff52},
    // F1–F12.
    {122, 0xffbe},
    {120, 0xffbf},
    {99, 0xffc0},
    {118, 0xffc1},
    {96, 0xffc2},
    {97, 0xffc3},
    {98, 0xffc4},
    {100, 0xffc5},
    {101, 0xffc6},
    {109, 0xffc7},
    {103, 0xffc8},
    {111, 0xffc9},
};

constexpr std::pair<std::uint32_t, std::uint16_t> modifiers[] = {
    {KeyCombo::control, X11KeyMap::controlMask},
    {KeyCombo::option, X11KeyMap::mod1Mask},
    {KeyCombo::shift, X11KeyMap::shiftMask},
    {KeyCombo::command, X11KeyMap::mod4Mask},
};

} // namespace

std::optional<std::uint32_t> X11KeyMap::keysym(std::uint32_t keyCode) {
    for (auto [code, sym] : keysyms)
        if (code == keyCode) return sym;
    return std::nullopt;
}

std::optional<std::uint32_t> X11KeyMap::keyCode(std::uint32_t keysym) {
    if (keysym >= 'A' && keysym <= 'Z') keysym += 'a' - 'A';
    for (auto [code, sym] : keysyms)
        if (sym == keysym) return code;
    return std::nullopt;
}

std::uint16_t X11KeyMap::modifierMask(std::uint32_t carbonModifiers) {
    std::uint16_t mask = 0;
    for (auto [carbon, x] : modifiers)
        if ((carbonModifiers & carbon) != 0) mask |= x;
    return mask;
}

std::uint32_t X11KeyMap::carbonModifiers(std::uint16_t modifierMask) {
    std::uint32_t flags = 0;
    for (auto [carbon, x] : modifiers)
        if ((modifierMask & x) != 0) flags |= carbon;
    return flags;
}

} // namespace ulmaro
