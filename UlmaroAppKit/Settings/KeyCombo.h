#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ulmaro {

/// The global shortcut: a key code of the Mac ANSI layout with Carbon-style modifier flags.
/// Stored settings keep these numbers whatever the platform; only the hot-key service
/// translates them to X11 key codes and masks.
struct KeyCombo {
    static constexpr std::uint32_t command = 0x100; // Super on Linux
    static constexpr std::uint32_t shift = 0x200;
    static constexpr std::uint32_t option = 0x800; // Alt
    static constexpr std::uint32_t control = 0x1000;

    std::uint32_t keyCode = 0;
    /// Bits other than the four modifiers may be present; they are ignored.
    std::uint32_t modifiers = 0;

    /// Alt+Space, the default summon shortcut.
    static const KeyCombo optionSpace;

    /// The key's name ("Space", "A", "7", "F4", "Left", ","): every key the X11 hot key can
    /// grab has one. Any other code is "Key " and the code in decimal.
    static std::string keyName(std::uint32_t keyCode);

    /// Exactly one of the four modifiers is set.
    bool isValid() const;

    /// Why this combination can never be the summon shortcut, or none when it can: it is
    /// not one modifier plus one key, or taking it system-wide would take a key the user
    /// needs everywhere (Shift alone types characters; Ctrl+C/V/X/Z/A, Ctrl or
    /// Alt+Backspace, Alt+Tab and Alt+F4 are every application's editing and window keys).
    std::optional<std::string> refusal() const;

    /// As the user sees it: "Ctrl", "Alt", "Shift", "Super", then the key, joined by "+".
    std::string display() const;

    friend bool operator==(const KeyCombo&, const KeyCombo&) = default;
};

inline constexpr KeyCombo KeyCombo::optionSpace{49, KeyCombo::option};

} // namespace ulmaro
