#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Shell/HotKeyBackend.h"

#include <memory>

namespace ulmaro {

/// Global shortcuts on X11: passive key grabs on the root window, on a connection of its
/// own so that the toolkit's connection never sees them. The event loop watches
/// `fileDescriptor()` and calls `processEvents()` when it is readable; presses reach the
/// press handler from there, on the main thread.
///
/// A combination is grabbed on every key code whose keys produce its keysym (so a letter
/// follows the layout), once for each state of CapsLock and NumLock. A keyboard mapping
/// change grabs again. A held key fires once, not on each auto-repeat. No display, a lost
/// connection, a key without a keysym or key code, or a grab another client holds: refused.
class X11HotKeyBackend final : public HotKeyBackend {
public:
    /// Connects to `display` ($DISPLAY when null). Never throws; without a server every grab
    /// is refused. Work that a grab leaves waiting is processed in a main-queue task.
    explicit X11HotKeyBackend(MainQueue& mainQueue, const char* display = nullptr);
    /// The backend for this session: an `X11HotKeyBackend`, or under Wayland (where an X11
    /// grab sees keys only while an XWayland window has focus) a `WaylandHotKeyBackend`.
    static std::shared_ptr<HotKeyBackend> forSession(MainQueue& mainQueue);
    ~X11HotKeyBackend() override;
    X11HotKeyBackend(const X11HotKeyBackend&) = delete;
    X11HotKeyBackend& operator=(const X11HotKeyBackend&) = delete;

    bool isConnected() const;
    /// The connection's descriptor for the event loop to watch; −1 without a connection.
    int fileDescriptor() const;
    /// Handles every event that has arrived. False once the connection is lost: stop
    /// watching the descriptor (every grab is gone with it).
    bool processEvents();
    /// The server time of the last press that fired (0, CurrentTime, before any): a focus
    /// request made for that press must carry it, or the window manager may refuse it.
    std::uint32_t lastPressTime() const;

    void setPressHandler(PressHandler handler) override;
    bool grab(std::uint32_t id, const KeyCombo& combo) override;
    void release(std::uint32_t id) override;

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

} // namespace ulmaro
