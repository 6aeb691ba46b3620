#pragma once

#include <cstdint>
#include <optional>

namespace ulmaro {

/// Stored shortcuts keep Mac ANSI key codes and Carbon modifier flags (`KeyCombo`); the X11
/// hot key grabs keysyms and core modifier masks. These tables translate both ways: the grab
/// goes from code to keysym, the settings window's shortcut capture from keysym to code.
struct X11KeyMap {
    // Core modifier masks.
    static constexpr std::uint16_t shiftMask = 1 << 0;
    static constexpr std::uint16_t lockMask = 1 << 1;
    static constexpr std::uint16_t controlMask = 1 << 2;
    static constexpr std::uint16_t mod1Mask = 1 << 3; // Alt
    static constexpr std::uint16_t mod4Mask = 1 << 6; // Super
    /// Shift, Lock, Control and Mod1–Mod5: the bits of an event's state that are modifiers.
    static constexpr std::uint16_t allModifiers = 0xff;

    /// The keysym of a key code: the 40 named keys, F1–F12, arrows, editing keys and the
    /// ANSI punctuation. Letters are their lower-case keysyms, so they follow the layout.
    static std::optional<std::uint32_t> keysym(std::uint32_t keyCode);
    /// The key code of a keysym; an upper-case letter gives its letter's code.
    static std::optional<std::uint32_t> keyCode(std::uint32_t keysym);

    /// Control → Control, option → Mod1, shift → Shift, command → Mod4; other bits dropped.
    static std::uint16_t modifierMask(std::uint32_t carbonModifiers);
    /// The reverse; Lock and the other Mod bits have no Carbon flag and are dropped.
    static std::uint32_t carbonModifiers(std::uint16_t modifierMask);
};

} // namespace ulmaro
