#pragma once

#include "UlmaroAppKit/Settings/KeyCombo.h"

#include <optional>
#include <string>

namespace ulmaro {

/// What the summon shortcut does in this session, and every sentence about it: the panel's
/// line, the tray menu's, the Settings row's, the first-run flow's and the error log's. The
/// shell keeps one and hands it to all of them, so no place tells another story.
struct HotKeyStatus {
    enum class State {
        /// `combo` is held: pressing it anywhere summons the panel.
        registered,
        /// `combo` could not be grabbed: another program holds it.
        taken,
        /// The session lets no program take a global key (Wayland): nothing is held, and
        /// nothing is offered for change.
        noGlobalKeys,
    };

    State state = State::registered;
    /// The combination held, or the one that could not be.
    KeyCombo combo = KeyCombo::optionSpace;
    /// The desktop shows tray icons; where it shows none, sentences send the user to a
    /// second launch instead.
    bool trayShown = true;

    bool isRegistered() const { return state == State::registered; }
    /// Whether a new shortcut could be had at all (not under Wayland).
    bool canChange() const { return state != State::noGlobalKeys; }

    /// The key shown beside the tray's search item: the one held, else none.
    std::string menuKeyHint() const;
    /// The panel's hot-key line: "Press Alt+Space anywhere." when held.
    std::string panelLine() const;
    /// The first-run flow's line when no key is held.
    std::string noShortcutLine() const;
    /// What the Settings row says under the button; none while the key is held.
    std::optional<std::string> settingsLine() const;
    /// The one line for the error log when the key cannot be had; ends in a line feed.
    std::string logLine() const;

    friend bool operator==(const HotKeyStatus&, const HotKeyStatus&) = default;
};

} // namespace ulmaro
