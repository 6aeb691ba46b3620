#pragma once

#include "UlmaroAppKit/Panel/PanelKeyPress.h"

#include <optional>

namespace ulmaro {

/// What a key does while the preview window has the keyboard.
class QuickLookKeyAction {
public:
    enum class Kind { move, close, passThrough };

    static QuickLookKeyAction move(int step) { return {Kind::move, step}; }
    static QuickLookKeyAction close() { return {Kind::close, 0}; }
    static QuickLookKeyAction passThrough() { return {Kind::passThrough, 0}; }

    /// Escape, Space (with any modifiers) and Ctrl+Y (Shift too) close; Down and Up move
    /// one result; anything else, and no key at all, is left to the preview.
    static QuickLookKeyAction classify(const std::optional<PanelKeyPress>& key);

    Kind kind() const { return kind_; }
    /// +1 down, −1 up; 0 unless `kind()` is `move`.
    int step() const { return step_; }

    friend bool operator==(const QuickLookKeyAction&, const QuickLookKeyAction&) = default;

private:
    QuickLookKeyAction(Kind kind, int step) : kind_(kind), step_(step) {}
    Kind kind_;
    int step_;
};

} // namespace ulmaro
