#include "UlmaroAppKit/Shell/WaylandHotKeyBackend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ulmaro {

bool WaylandHotKeyBackend::isWaylandSession(const std::function<const char*(const char*)>& getenv) {
    const char* display = getenv("WAYLAND_DISPLAY");
    const char* type = getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (type != nullptr && std::strcmp(type, "wayland") == 0);
}

bool WaylandHotKeyBackend::isWaylandSession() {
    return isWaylandSession([](const char* name) { return std::getenv(name); });
}

WaylandHotKeyBackend::WaylandHotKeyBackend(std::function<void(std::string_view)> write)
    : write_(std::move(write)) {
    if (!write_)
        write_ = [](std::string_view text) {
            std::fwrite(text.data(), 1, text.size(), stderr);
            std::fflush(stderr);
        };
}

bool WaylandHotKeyBackend::grab(std::uint32_t, const KeyCombo&) {
    if (!told_) {
        told_ = true;
        write_(message);
    }
    return false;
}

} // namespace ulmaro
