#pragma once

#include "UlmaroAppKit/Settings/KeyCombo.h"

#include <cstdint>
#include <functional>

namespace ulmaro {

/// The system's global-shortcut service, as `HotKeyCenter` uses it: a passive key grab on
/// the X11 root window in the application, a fake in tests. Called on the main thread.
class HotKeyBackend {
public:
    /// Told the id of the registration whose combination was pressed.
    using PressHandler = std::function<void(std::uint32_t id)>;

    virtual ~HotKeyBackend() = default;

    /// The one handler for every registration's presses.
    virtual void setPressHandler(PressHandler handler) = 0;
    /// Takes `combo` system-wide for `id`. False when it is refused (another program holds
    /// it, the key has no key on the keyboard, there is no display); then nothing is held.
    virtual bool grab(std::uint32_t id, const KeyCombo& combo) = 0;
    /// Gives back what `id` holds; harmless when it holds nothing.
    virtual void release(std::uint32_t id) = 0;
    /// Whether this session lets a program take a global key at all; where it does not,
    /// every `grab` is refused whatever the key.
    virtual bool globalKeysAvailable() const { return true; }
};

} // namespace ulmaro
