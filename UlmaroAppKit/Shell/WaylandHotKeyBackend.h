#pragma once

#include "UlmaroAppKit/Shell/HotKeyBackend.h"

#include <functional>
#include <string_view>

namespace ulmaro {

/// The backend of a Wayland session. An X11 grab there sees keys only while an XWayland
/// window has focus, so every registration is refused, and the first refusal says why.
class WaylandHotKeyBackend final : public HotKeyBackend {
public:
    static constexpr std::string_view message =
        "Ulmaro: global shortcuts need an X11 session; bind a desktop shortcut to run ulmaro, "
        "which summons the running copy.\n";

    /// `WAYLAND_DISPLAY` is set (not empty) or `XDG_SESSION_TYPE` is "wayland".
    static bool isWaylandSession(const std::function<const char*(const char*)>& getenv);
    static bool isWaylandSession();

    /// `write` receives the message once; standard error when none is given.
    explicit WaylandHotKeyBackend(std::function<void(std::string_view)> write = {});

    void setPressHandler(PressHandler) override {}
    bool grab(std::uint32_t id, const KeyCombo& combo) override;
    void release(std::uint32_t) override {}
    bool globalKeysAvailable() const override { return false; }

private:
    std::function<void(std::string_view)> write_;
    bool told_ = false;
};

} // namespace ulmaro
