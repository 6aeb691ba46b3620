#pragma once

#include "UlmaroAppKit/Settings/SettingsForm.h"
#include "UlmaroAppKit/UI/Kit/KeptWindow.h"

#include <memory>

namespace ulmaro {

class SettingsView;

/// The one settings window: "Settings", at least 480 × 400, resizable, not minimisable,
/// its frame remembered as "Settings". `show()` builds it on the first call and brings it
/// to the front on every call; closing only hides it, with its state. Without `keyPresses`
/// in the environment the shortcut row hears this window's keys. GUI thread only.
class SettingsWindow {
public:
    SettingsWindow(SettingsStore& frames, SettingsForm::Environment environment);

    void show();
    /// None until the first `show()`.
    QWidget* window() const { return kept_.window(); }
    SettingsView* view() const { return view_; }

private:
    SettingsForm::Environment environment_;
    SettingsView* view_ = nullptr;
    KeptWindow kept_;
};

} // namespace ulmaro
