#include "UlmaroAppKit/Shell/WaylandHotKeyBackend.h"

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

} // namespace ulmaro
