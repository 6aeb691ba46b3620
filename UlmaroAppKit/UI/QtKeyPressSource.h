#pragma once

#include "UlmaroAppKit/Settings/KeyPressSource.h"

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace ulmaro {

/// The application's key presses through an application-wide event filter: while a monitor
/// lives it accepts every shortcut override, so no window shortcut fires (Ctrl+Q, Ctrl+W,
/// Ctrl+,), and takes every key press before any widget sees it. The key is named by its
/// unshifted keysym, as the global hot key grabs it: on xcb the first keysym of the
/// event's key code (Shift+1 is 1; the key that types "z" on a German layout is Z),
/// elsewhere Qt's key.
class QtKeyPressSource final : public KeyPressSource {
public:
    std::unique_ptr<Monitor> addMonitor(Handler handler) override;

    /// `unshiftedKeysym` is the xcb one when there is one.
    static RecordedKeyPress recordedKeyPress(const QKeyEvent& event,
                                             std::optional<std::uint32_t> unshiftedKeysym);
    /// The keysym of a Qt key without Shift: letters lower-case, Latin-1 as it is, and the
    /// keys of the stored table.
    static std::optional<std::uint32_t> keysymOfQtKey(int key);
};

} // namespace ulmaro
