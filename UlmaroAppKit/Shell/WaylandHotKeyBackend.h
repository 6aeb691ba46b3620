#pragma once

#include "UlmaroAppKit/Shell/HotKeyBackend.h"

#include <functional>

namespace ulmaro {

/// The backend of a Wayland session. An X11 grab there sees keys only while an XWayland
/// window has focus, so global keys are not available and every registration is refused;
/// the shell, seeing `globalKeysAvailable()` false, asks for none and says why once.
class WaylandHotKeyBackend final : public HotKeyBackend {
public:
    /// `WAYLAND_DISPLAY` is set (not empty) or `XDG_SESSION_TYPE` is "wayland".
    static bool isWaylandSession(const std::function<const char*(const char*)>& getenv);
    static bool isWaylandSession();

    void setPressHandler(PressHandler) override {}
    bool grab(std::uint32_t, const KeyCombo&) override { return false; }
    void release(std::uint32_t) override {}
    bool globalKeysAvailable() const override { return false; }
};

} // namespace ulmaro
