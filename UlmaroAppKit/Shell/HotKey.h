#pragma once

#include "UlmaroAppKit/Settings/KeyCombo.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace ulmaro {

class HotKeyCenter;

/// One registration of the global shortcut. The coordinator makes a new one (with a new
/// id) for each registration and never registers one twice. While registered it is held by
/// its center, so dropping every other reference does not give the key back: only
/// `unregisterKey()` does.
class HotKey : public std::enable_shared_from_this<HotKey> {
public:
    std::uint32_t id() const { return id_; }
    const KeyCombo& combo() const { return combo_; }
    bool isRegistered() const { return registered_; }

    /// Takes the combination system-wide; false when the system refuses it, and then
    /// nothing is held. Writes nothing: the caller decides what the user is told.
    bool registerKey();
    /// Gives the combination back; harmless when it was never registered.
    void unregisterKey();

private:
    friend class HotKeyCenter;
    HotKey(std::weak_ptr<HotKeyCenter> center, std::uint32_t id, KeyCombo combo,
           std::function<void()> onPress)
        : center_(std::move(center)), id_(id), combo_(combo), onPress_(std::move(onPress)) {}

    std::weak_ptr<HotKeyCenter> center_;
    std::uint32_t id_;
    KeyCombo combo_;
    std::function<void()> onPress_;
    bool registered_ = false;
};

} // namespace ulmaro
