#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Settings/HotKeyStatus.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Settings/ShortcutRowModel.h"

#include <functional>
#include <memory>

namespace ulmaro {

/// What the shell hands the settings window: the settings, the two callbacks fixed at
/// creation and the settable `onHotKeyChange`. The application makes one for its life; the
/// window asks for a new shortcut through `hotKeyForwarder()`. Main thread only.
class SettingsWindowController : public std::enable_shared_from_this<SettingsWindowController> {
public:
    static std::shared_ptr<SettingsWindowController>
    create(std::shared_ptr<Preferences> preferences, std::function<void()> onExclusionsChanged,
           std::function<void()> onSearchThisMacChanged);

    /// Registers a combination as the summon shortcut; true when it was. Set by the shell.
    ShortcutRowModel::HotKeyChange onHotKeyChange;

    /// Runs after the result limit changed (the engine is rebuilt with it). Set by the shell.
    std::function<void()> onResultLimitChange;

    /// The summon shortcut as the shell last told it (held, taken, or not to be had in this
    /// session); the shell keeps it current, the shortcut row reads it.
    std::shared_ptr<Observable<HotKeyStatus>> hotKeyStatus =
        std::make_shared<Observable<HotKeyStatus>>();

    /// Asks `onHotKeyChange`, holding the controller weakly: false when the controller is
    /// gone or nothing is installed.
    ShortcutRowModel::HotKeyChange hotKeyForwarder();

    const std::shared_ptr<Preferences>& preferences() const { return preferences_; }
    void exclusionsChanged() const;
    void searchThisMacChanged() const;
    void resultLimitChanged() const;

private:
    SettingsWindowController(std::shared_ptr<Preferences> preferences,
                             std::function<void()> onExclusionsChanged,
                             std::function<void()> onSearchThisMacChanged);

    std::shared_ptr<Preferences> preferences_;
    std::function<void()> onExclusionsChanged_;
    std::function<void()> onSearchThisMacChanged_;
};

} // namespace ulmaro
