#include "UlmaroAppKit/Settings/ShortcutRowModel.h"

namespace ulmaro {

ShortcutRowModel::ShortcutRowModel(std::shared_ptr<Preferences> preferences,
                                   std::shared_ptr<KeyPressSource> keyPresses,
                                   HotKeyChange onHotKeyChange, bool globalKeysAvailable)
    : preferences_(std::move(preferences)), recorder_(std::move(keyPresses)),
      onHotKeyChange_(std::move(onHotKeyChange)), globalKeysAvailable_(globalKeysAvailable) {}

std::string ShortcutRowModel::buttonTitle() const {
    return recording_ ? "Press keys…" : preferences_->hotKey().display();
}

void ShortcutRowModel::startRecording() {
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
    if (!combo.isValid()) {
        hotKeyError_ = std::string(invalidMessage);
    } else if (onHotKeyChange_ && onHotKeyChange_(combo)) {
        // Stored only now: code, then modifiers, then one change notice.
        hotKeyError_.reset();
        preferences_->setHotKey(combo);
    } else if (!globalKeysAvailable_) {
        hotKeyError_ = std::string(noGlobalKeysMessage);
    } else {
        hotKeyError_ = combo.display() + std::string(takenSuffix);
    }
    changed.emit();
}

} // namespace ulmaro
