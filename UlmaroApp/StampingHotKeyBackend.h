#pragma once

#include "UlmaroAppKit/Shell/HotKeyBackend.h"

#include <memory>

namespace ulmaro {

/// A hot-key backend that runs `beforePress` ahead of each press's handler: the panel takes
/// the press's server time there, so that the window manager lets the panel it shows next
/// take the focus.
class StampingHotKeyBackend final : public HotKeyBackend {
public:
    StampingHotKeyBackend(std::shared_ptr<HotKeyBackend> inner, std::function<void()> beforePress)
        : inner_(std::move(inner)), beforePress_(std::move(beforePress)) {}

    void setPressHandler(PressHandler handler) override {
        inner_->setPressHandler(
            [handler = std::move(handler), before = beforePress_](std::uint32_t id) {
                if (before) before();
                if (handler) handler(id);
            });
    }
    bool grab(std::uint32_t id, const KeyCombo& combo) override { return inner_->grab(id, combo); }
    void release(std::uint32_t id) override { inner_->release(id); }
    bool globalKeysAvailable() const override { return inner_->globalKeysAvailable(); }

private:
    std::shared_ptr<HotKeyBackend> inner_;
    std::function<void()> beforePress_;
};

} // namespace ulmaro
