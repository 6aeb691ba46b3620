#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Settings/HotKeyStatus.h"
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
/// force and `hotKeyError` says why. Beside that, the row tells what the shell says of the
/// shortcut: taken by another program, or not to be had in this session (then the button
/// records nothing). The state outlives the window being hidden. Main thread only.
class ShortcutRowModel {
public:
    /// True when the shell registered the combination as the summon shortcut.
    using HotKeyChange = std::function<bool(const KeyCombo&)>;

    static constexpr std::string_view takenSuffix =
        " is taken by another app. The previous shortcut still works.";

    /// `hotKeyStatus` is the shell's account of the shortcut; none: the stored one, held.
    ShortcutRowModel(std::shared_ptr<Preferences> preferences,
                     std::shared_ptr<KeyPressSource> keyPresses, HotKeyChange onHotKeyChange,
                     std::shared_ptr<Observable<HotKeyStatus>> hotKeyStatus = nullptr);

    bool recording() const { return recording_; }
    /// Why the last recorded combination was not taken; cleared when recording starts.
    const std::optional<std::string>& hotKeyError() const { return hotKeyError_; }
    /// The line under the row: `hotKeyError`, else what the shell's account says when the
    /// shortcut is not held, else none.
    std::optional<std::string> message() const;
    /// "Press keys…" while recording, else the stored shortcut ("Alt+Space").
    std::string buttonTitle() const;
    /// False where no program can take a global key: the button then records nothing.
    bool canRecord() const { return status().canChange(); }

    /// The button: listen for the next key press and clear the message.
    void startRecording();
    /// Recording ends without a capture (the window was hidden or lost the keyboard).
    void stopRecording();
    /// What a recorded combination does: checked, registered by the shell, then stored.
    void handleCapture(const KeyCombo& combo);

    /// After each change of `recording`, `hotKeyError` or the shell's account.
    Signal<> changed;

private:
    HotKeyStatus status() const;

    std::shared_ptr<Preferences> preferences_;
    ShortcutRecorder recorder_;
    HotKeyChange onHotKeyChange_;
    std::shared_ptr<Observable<HotKeyStatus>> hotKeyStatus_;
    Subscription statusChanges_;
    bool recording_ = false;
    std::optional<std::string> hotKeyError_;
};

} // namespace ulmaro
