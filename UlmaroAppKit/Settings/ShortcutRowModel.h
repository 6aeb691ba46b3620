#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Settings/KeyCombo.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Settings/ShortcutRecorder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

/// The settings window's shortcut row: recording a new summon shortcut, asking the shell
/// to register it, and storing it only then. On any failure the previous shortcut stays in
/// force and `hotKeyError` says why. The state outlives the window being hidden. Main
/// thread only.
class ShortcutRowModel {
public:
    /// True when the shell registered the combination as the summon shortcut.
    using HotKeyChange = std::function<bool(const KeyCombo&)>;

    static constexpr std::string_view invalidMessage =
        "Use one modifier (Alt, Ctrl, Shift, Super) plus one key.";
    static constexpr std::string_view takenSuffix =
        " is taken by another app. The previous shortcut still works.";
    /// Where no program can take a global key (Wayland), a refusal says this instead.
    static constexpr std::string_view noGlobalKeysMessage =
        "Global shortcuts need an X11 session; bind a desktop shortcut to run ulmaro, which "
        "summons the running copy.";

    /// `globalKeysAvailable`: whether this session lets a program take a global key at all.
    ShortcutRowModel(std::shared_ptr<Preferences> preferences,
                     std::shared_ptr<KeyPressSource> keyPresses, HotKeyChange onHotKeyChange,
                     bool globalKeysAvailable = true);

    bool recording() const { return recording_; }
    const std::optional<std::string>& hotKeyError() const { return hotKeyError_; }
    /// "Press keys…" while recording, else the stored shortcut ("Alt+Space").
    std::string buttonTitle() const;

    /// The button: listen for the next key press and clear the message.
    void startRecording();
    /// Recording ends without a capture (the window went away).
    void stopRecording();
    /// What a recorded combination does: checked, registered by the shell, then stored.
    void handleCapture(const KeyCombo& combo);

    /// After each change of `recording` or `hotKeyError`.
    Signal<> changed;

private:
    std::shared_ptr<Preferences> preferences_;
    ShortcutRecorder recorder_;
    HotKeyChange onHotKeyChange_;
    bool globalKeysAvailable_;
    bool recording_ = false;
    std::optional<std::string> hotKeyError_;
};

} // namespace ulmaro
