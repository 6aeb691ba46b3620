#pragma once

#include "UlmaroAppKit/Settings/KeyCombo.h"
#include "UlmaroAppKit/Settings/KeyPressSource.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace ulmaro {

/// Records one key combination: while active it listens to the application's key presses
/// through one monitor at most, takes the first press of a key that has a stored code, and
/// stops. Escape stops it without capturing anything. A modifier pressed alone, or a key
/// no shortcut can name, is skipped and it keeps listening. Main thread only.
class ShortcutRecorder {
public:
    using OnCapture = std::function<void(const KeyCombo&)>;

    explicit ShortcutRecorder(std::shared_ptr<KeyPressSource> source);

    /// Active: listen (a second call while listening changes nothing). Inactive: stop.
    /// After a press is taken `onCapture` runs (not for Escape), then the monitor goes, then
    /// `onDone`.
    void setActive(bool active, std::function<void()> onDone, OnCapture onCapture);
    void tearDown();
    bool isListening() const { return monitor_ != nullptr; }

    /// Ctrl 0x1000, Alt 0x800, Shift 0x200, Super 0x100; locks, the keypad and anything
    /// else set nothing.
    static std::uint32_t carbonModifiers(unsigned flags);

private:
    void handle(const RecordedKeyPress& press, const std::function<void()>& onDone,
                const OnCapture& onCapture);

    std::shared_ptr<KeyPressSource> source_;
    std::unique_ptr<KeyPressSource::Monitor> monitor_;
};

} // namespace ulmaro
