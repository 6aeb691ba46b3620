#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Shell/HotKey.h"
#include "UlmaroAppKit/Shell/HotKeyBackend.h"

#include <map>
#include <memory>

namespace ulmaro {

/// What the process keeps about its global shortcuts: the id counter, the registered hot
/// keys and the one press handler. The application makes one over the system's backend.
/// A press reaches `onPress` through a new main-queue task, after the backend's callback has
/// returned, and only if its hot key is still registered then. Main thread only.
class HotKeyCenter : public std::enable_shared_from_this<HotKeyCenter> {
public:
    static std::shared_ptr<HotKeyCenter> create(std::shared_ptr<HotKeyBackend> backend,
                                                MainQueue& mainQueue);

    /// An unregistered hot key with the next id: 1 for the first, never reused.
    std::shared_ptr<HotKey> makeHotKey(KeyCombo combo, std::function<void()> onPress);
    /// The hot key registered under `id`, if any.
    std::shared_ptr<HotKey> registered(std::uint32_t id) const;
    /// Whether global keys can be had in this session at all (not under Wayland).
    bool globalKeysAvailable() const { return backend_->globalKeysAvailable(); }

private:
    friend class HotKey;
    HotKeyCenter(std::shared_ptr<HotKeyBackend> backend, MainQueue& mainQueue)
        : backend_(std::move(backend)), mainQueue_(mainQueue) {}

    bool add(HotKey& hotKey);
    void remove(HotKey& hotKey);
    void installHandlerIfNeeded();
    void deliver(std::uint32_t id) const;

    std::shared_ptr<HotKeyBackend> backend_;
    MainQueue& mainQueue_;
    std::uint32_t nextID_ = 1;
    std::map<std::uint32_t, std::shared_ptr<HotKey>> registry_;
    bool handlerInstalled_ = false;
};

} // namespace ulmaro
