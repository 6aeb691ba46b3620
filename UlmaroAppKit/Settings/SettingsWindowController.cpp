#include "UlmaroAppKit/Settings/SettingsWindowController.h"

namespace ulmaro {

SettingsWindowController::SettingsWindowController(std::shared_ptr<Preferences> preferences,
                                                   std::function<void()> onExclusionsChanged,
                                                   std::function<void()> onSearchThisMacChanged)
    : preferences_(std::move(preferences)), onExclusionsChanged_(std::move(onExclusionsChanged)),
      onSearchThisMacChanged_(std::move(onSearchThisMacChanged)) {}

std::shared_ptr<SettingsWindowController>
SettingsWindowController::create(std::shared_ptr<Preferences> preferences,
                                 std::function<void()> onExclusionsChanged,
                                 std::function<void()> onSearchThisMacChanged) {
    return std::shared_ptr<SettingsWindowController>(new SettingsWindowController(
        std::move(preferences), std::move(onExclusionsChanged), std::move(onSearchThisMacChanged)));
}

ShortcutRowModel::HotKeyChange SettingsWindowController::hotKeyForwarder() {
    return [weak = weak_from_this()](const KeyCombo& combo) {
        const auto self = weak.lock();
        return self && self->onHotKeyChange && self->onHotKeyChange(combo);
    };
}

void SettingsWindowController::exclusionsChanged() const {
    if (onExclusionsChanged_) onExclusionsChanged_();
}

void SettingsWindowController::searchThisMacChanged() const {
    if (onSearchThisMacChanged_) onSearchThisMacChanged_();
}

void SettingsWindowController::resultLimitChanged() const {
    if (onResultLimitChange) onResultLimitChange();
}

} // namespace ulmaro
