#pragma once

#include <cstdint>
#include <optional>
#include <utility>

struct xcb_connection_t;

namespace ulmaro {

/// The few EWMH requests the panel makes, on Qt's own xcb connection. Every call does
/// nothing (or answers none) when the application does not run on X11.
class X11Desktop {
public:
    /// The desktop of the running `QGuiApplication`, none off X11.
    static std::optional<X11Desktop> current();

    /// The window the window manager reports active (`_NET_ACTIVE_WINDOW`); none when it
    /// reports none or no window manager runs.
    std::optional<std::uint32_t> activeWindow() const;
    /// The window's `_NET_WM_PID`.
    std::optional<std::int32_t> processIdentifier(std::uint32_t window) const;
    bool windowExists(std::uint32_t window) const;
    /// Where the X server shows the window's top-left corner, in root coordinates; none
    /// while the window is not viewable (unmapped, or inside an unmapped frame).
    std::optional<std::pair<int, int>> shownTopLeft(std::uint32_t window) const;
    /// A compositing manager owns the screen's `_NET_WM_CM_S0` selection, so translucent
    /// windows show what lies below them.
    bool hasCompositingManager() const;

    /// Who asks for an activation, as EWMH counts them.
    enum class Source : std::uint32_t { application = 1, pager = 2 };
    /// Asks the window manager to activate `window` (`_NET_ACTIVE_WINDOW` to the root).
    /// `timestamp` 0 means the current time.
    void requestActivation(std::uint32_t window, Source source, std::uint32_t timestamp) const;

    /// Keeps a window that is not yet mapped off task bars and pagers (`_NET_WM_STATE`).
    void keepOffTaskBar(std::uint32_t window) const;
    /// Gives a window of the screen's own visual the screen's default colormap. The X
    /// server leaves the area a bounding shape cuts from a window with a colormap of its own
    /// unpainted (black) instead of showing what lies below; Qt makes one for every window.
    /// `SharedColormap` does this for every window of the application.
    void useDefaultColormap(std::uint32_t window) const;

private:
    X11Desktop(xcb_connection_t* connection, std::uint32_t root, std::uint32_t rootVisual,
               std::uint32_t defaultColormap)
        : connection_(connection), root_(root), rootVisual_(rootVisual),
          defaultColormap_(defaultColormap) {}
    std::uint32_t atom(const char* name) const;

    xcb_connection_t* connection_;
    std::uint32_t root_;
    std::uint32_t rootVisual_;
    std::uint32_t defaultColormap_;
};

} // namespace ulmaro
