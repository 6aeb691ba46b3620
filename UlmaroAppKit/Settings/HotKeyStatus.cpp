#include "UlmaroAppKit/Settings/HotKeyStatus.h"

namespace ulmaro {
namespace {

constexpr const char* noGlobalKeysLine =
    "Global shortcuts need an X11 session; running ulmaro again summons the panel.";

} // namespace

std::string HotKeyStatus::menuKeyHint() const {
    return isRegistered() ? combo.display() : std::string();
}

std::string HotKeyStatus::panelLine() const {
    switch (state) {
    case State::registered:
        return "Press " + combo.display() + " anywhere.";
    case State::taken:
        return combo.display() + " is already taken by another app \u2014 " +
               (trayShown ? "open Ulmaro from its tray icon instead."
                          : "running ulmaro again opens Ulmaro.");
    case State::noGlobalKeys:
        return noGlobalKeysLine;
    }
    return {};
}

std::string HotKeyStatus::noShortcutLine() const {
    if (state == State::noGlobalKeys) return noGlobalKeysLine;
    return trayShown ? "Open Ulmaro any time from its icon in the tray."
                     : "Open Ulmaro any time by running ulmaro again.";
}

std::optional<std::string> HotKeyStatus::settingsLine() const {
    switch (state) {
    case State::registered:
        return std::nullopt;
    case State::taken:
        return combo.display() + " is taken by another app. Choose another shortcut.";
    case State::noGlobalKeys:
        return "Global shortcuts need an X11 session. Running ulmaro again summons the "
               "panel: bind it to a key in your desktop\u2019s keyboard settings.";
    }
    return std::nullopt;
}

std::string HotKeyStatus::logLine() const {
    if (state == State::noGlobalKeys)
        return "Ulmaro: global shortcuts need an X11 session; bind a desktop shortcut to run "
               "ulmaro, which summons the running copy.\n";
    return "Ulmaro: could not register " + combo.display() +
           " \u2014 it's already bound to another app. " +
           (trayShown ? "Summon via the tray icon instead.\n"
                      : "Run ulmaro again to summon the panel instead.\n");
}

} // namespace ulmaro
