#include "UlmaroAppKit/Fakes/FakeHotKeyBackend.h"

namespace ulmaro {

void FakeHotKeyBackend::setPressHandler(PressHandler handler) {
    handler_ = std::move(handler);
    ++handlerInstalls_;
}

bool FakeHotKeyBackend::grab(std::uint32_t id, const KeyCombo& combo) {
    attempts_.push_back(combo);
    if (!globalKeysAvailable_ || taken_.contains(key(combo))) return false;
    for (const auto& [heldID, heldCombo] : held_)
        if (heldID != id && heldCombo == combo) return false;
    held_[id] = combo;
    return true;
}

void FakeHotKeyBackend::release(std::uint32_t id) {
    held_.erase(id);
}

bool FakeHotKeyBackend::press(const KeyCombo& combo) {
    for (const auto& [id, heldCombo] : held_)
        if (heldCombo == combo) {
            auto pressed = id; // the handler may change what is held
            pressID(pressed);
            return true;
        }
    return false;
}

void FakeHotKeyBackend::pressID(std::uint32_t id) {
    if (handler_) handler_(id);
}

} // namespace ulmaro
