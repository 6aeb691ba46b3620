#include "UlmaroAppKit/Shell/HotKeyCenter.h"

namespace ulmaro {

std::shared_ptr<HotKeyCenter> HotKeyCenter::create(std::shared_ptr<HotKeyBackend> backend,
                                                   MainQueue& mainQueue) {
    return std::shared_ptr<HotKeyCenter>(new HotKeyCenter(std::move(backend), mainQueue));
}

std::shared_ptr<HotKey> HotKeyCenter::makeHotKey(KeyCombo combo, std::function<void()> onPress) {
    return std::shared_ptr<HotKey>(
        new HotKey(weak_from_this(), nextID_++, combo, std::move(onPress)));
}

std::shared_ptr<HotKey> HotKeyCenter::registered(std::uint32_t id) const {
    auto found = registry_.find(id);
    return found == registry_.end() ? nullptr : found->second;
}

bool HotKeyCenter::add(HotKey& hotKey) {
    installHandlerIfNeeded();
    if (!backend_->grab(hotKey.id_, hotKey.combo_)) return false;
    hotKey.registered_ = true;
    registry_[hotKey.id_] = hotKey.shared_from_this();
    return true;
}

void HotKeyCenter::remove(HotKey& hotKey) {
    if (hotKey.registered_) backend_->release(hotKey.id_);
    registry_.erase(hotKey.id_);
}

// Once per process, whether or not the first registration succeeds.
void HotKeyCenter::installHandlerIfNeeded() {
    if (handlerInstalled_) return;
    handlerInstalled_ = true;
    backend_->setPressHandler([weak = weak_from_this()](std::uint32_t id) {
        if (auto center = weak.lock()) center->deliver(id);
    });
}

void HotKeyCenter::deliver(std::uint32_t id) const {
    mainQueue_.post([weak = weak_from_this(), id] {
        auto center = weak.lock();
        if (!center) return;
        // The press action may unregister its own hot key: hold it while it runs.
        if (auto hotKey = center->registered(id); hotKey && hotKey->onPress_) hotKey->onPress_();
    });
}

} // namespace ulmaro
