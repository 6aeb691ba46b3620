#pragma once

#include <string>

namespace ulmaro {

/// A key press as the panel's rules read it, free of any toolkit. Ctrl stands where the
/// described keys say Command and Super where they say Control.
struct PanelKeyPress {
    /// The keys the rules name by position rather than by character.
    enum class Key { other, escape, up, down, returnKey, keypadEnter };

    struct Modifiers {
        bool shift = false;
        bool ctrl = false;
        bool alt = false;
        bool super = false;
        friend bool operator==(const Modifiers&, const Modifiers&) = default;
    };

    Key key = Key::other;
    /// What the key types with no modifier but Shift applied, as UTF-8 ("a", " ", "1"; a
    /// keypad digit types its digit); empty for keys that type nothing.
    std::string text;
    Modifiers modifiers;

    /// Ctrl held and no other modifier; keypad and lock states never count.
    bool ctrlOnly() const {
        return modifiers.ctrl && !modifiers.shift && !modifiers.alt && !modifiers.super;
    }
};

} // namespace ulmaro
