#pragma once

#include "UlmaroAppKit/Settings/KeyPressSource.h"

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;
class QWidget;

namespace ulmaro {

/// The key presses aimed at one window, through an application-wide event filter: while a
/// monitor lives it accepts that window's shortcut overrides, so none of its shortcuts fires
/// (Ctrl+Q, Ctrl+W, Ctrl+,), and takes its key presses before any of its widgets sees them.
/// Every other window's keys pass untouched, so a recorder left listening can never turn a
/// key typed elsewhere into the shortcut. The key is named by its unshifted keysym, as the
/// global hot key grabs it: on xcb the first keysym of the event's key code (Shift+1 is 1;
/// the key that types "z" on a German layout is Z), elsewhere Qt's key.
class QtKeyPressSource final : public KeyPressSource {
public:
    /// Answers the window whose keys are taken, asked at each press; none takes nothing.
    using Window = std::function<const QWidget*()>;

    explicit QtKeyPressSource(Window window);

    std::unique_ptr<Monitor> addMonitor(Handler handler) override;

    /// `unshiftedKeysym` is the xcb one when there is one.
    static RecordedKeyPress recordedKeyPress(const QKeyEvent& event,
                                             std::optional<std::uint32_t> unshiftedKeysym);
    /// The keysym of a Qt key without Shift: letters lower-case, Latin-1 as it is, and the
    /// keys of the stored table.
    static std::optional<std::uint32_t> keysymOfQtKey(int key);

private:
    Window window_;
};

} // namespace ulmaro
