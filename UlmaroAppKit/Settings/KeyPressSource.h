#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace ulmaro {

/// A key press of one of the application's windows, as the shortcut recorder reads it.
struct RecordedKeyPress {
    enum class Kind {
        /// A key with a stored code.
        key,
        escape,
        /// A modifier pressed alone.
        modifier,
        /// A key no stored shortcut can name (media keys, keys beyond the table).
        unnamed,
    };
    /// The modifier flags held with the press, as a bit set.
    enum Flag : unsigned {
        control = 1u << 0,
        alt = 1u << 1,
        shift = 1u << 2,
        super = 1u << 3,
        capsLock = 1u << 4,
        numLock = 1u << 5,
        keypad = 1u << 6,
        /// Any other flag the platform reports (AltGr, Hyper).
        other = 1u << 7,
    };

    Kind kind = Kind::unnamed;
    /// The key's stored code (Mac key codes, as `KeyCombo` keeps them), for `key`.
    std::uint32_t keyCode = 0;
    unsigned flags = 0;
};

/// The application's own key presses, before any window sees them: while a monitor is
/// installed each press goes to its handler and no further, and no window shortcut fires.
/// The settings window's shortcut recorder is its one user. Main thread only.
class KeyPressSource {
public:
    class Monitor {
    public:
        virtual ~Monitor() = default;
    };
    using Handler = std::function<void(const RecordedKeyPress&)>;

    virtual ~KeyPressSource() = default;

    /// Destroying the monitor removes it, also from inside its handler. Null when none
    /// could be installed.
    [[nodiscard]] virtual std::unique_ptr<Monitor> addMonitor(Handler handler) = 0;
};

} // namespace ulmaro
