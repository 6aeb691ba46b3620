#include "UlmaroAppKit/Settings/ShortcutRowModel.h"

namespace ulmaro {

ShortcutRowModel::ShortcutRowModel(std::shared_ptr<Preferences> preferences,
                                   std::shared_ptr<KeyPressSource> keyPresses,
                                   HotKeyChange onHotKeyChange,
                                   std::shared_ptr<Observable<HotKeyStatus>> hotKeyStatus)
    : preferences_(std::move(preferences)), recorder_(std::move(keyPresses)),
      onHotKeyChange_(std::move(onHotKeyChange)), hotKeyStatus_(std::move(hotKeyStatus)) {
    if (hotKeyStatus_)
        statusChanges_ = hotKeyStatus_->subscribe([this](const HotKeyStatus&) {
            if (!canRecord()) stopRecording();
            changed.emit();
        });
}

HotKeyStatus ShortcutRowModel::status() const {
    if (hotKeyStatus_) return hotKeyStatus_->get();
    return {HotKeyStatus::State::registered, preferences_->hotKey()};
}

std::optional<std::string> ShortcutRowModel::message() const {
    if (hotKeyError_) return hotKeyError_;
    return status().settingsLine();
}

std::string ShortcutRowModel::buttonTitle() const {
    return recording_ ? "Press keys…" : preferences_->hotKey().display();
}

void ShortcutRowModel::startRecording() {
    if (!canRecord()) return;
    recording_ = true;
    hotKeyError_.reset();
    recorder_.setActive(
        true,
        [this] {
            recording_ = false;
            changed.emit();
        },
        [this](const KeyCombo& combo) { handleCapture(combo); });
    changed.emit();
}

void ShortcutRowModel::stopRecording() {
    if (!recording_) return;
    recording_ = false;
    recorder_.setActive(false, {}, {});
    changed.emit();
}

void ShortcutRowModel::handleCapture(const KeyCombo& combo) {
    if (auto refusal = combo.refusal()) {
        hotKeyError_ = std::move(refusal);
    } else if (onHotKeyChange_ && onHotKeyChange_(combo)) {
        // Stored only now: code, then modifiers, then one change notice.
        hotKeyError_.reset();
        preferences_->setHotKey(combo);
    } else if (const HotKeyStatus now = status(); !now.canChange()) {
        hotKeyError_ = now.settingsLine();
    } else if (now.isRegistered()) {
        hotKeyError_ = combo.display() + std::string(takenSuffix);
    } else {
        // Not even the previous shortcut could be had back.
        hotKeyError_ = combo.display() + " is taken by another app.";
    }
    changed.emit();
}

} // namespace ulmaro
