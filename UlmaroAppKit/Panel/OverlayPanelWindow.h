#pragma once

#include "UlmaroAppKit/Panel/PanelGeometry.h"

#include <functional>
#include <optional>

namespace ulmaro {

/// The panel window as its controller drives it; `OverlayPanel` in the UI library, a fake
/// in tests.
class OverlayPanelWindow {
public:
    virtual ~OverlayPanelWindow() = default;

    virtual bool isVisible() const = 0;
    /// Where the window is, y downwards.
    virtual PanelRect frame() const = 0;
    /// The top-left corner where the window system shows the panel now; none while it is
    /// not on screen (hidden, or mapped but not yet shown by the window manager).
    virtual std::optional<PanelPoint> shownTopLeft() const = 0;
    /// The saved corner when it still meets a screen, else centred on the active screen.
    virtual void restorePositionOrCenter(std::optional<PanelPoint> savedTopLeft) = 0;
    virtual void centerOnActiveScreen() = 0;
    /// Shows the window above the others, raises it and gives it the keyboard.
    virtual void makeKeyAndOrderFront() = 0;
    /// Puts the keyboard focus in the search field, when there is one, its text selected.
    virtual void focusSearchField() = 0;
    /// Hides the window.
    virtual void orderOut() = 0;
    /// Called after the window has lost the keyboard.
    virtual void setOnResignKey(std::function<void()> handler) = 0;
    /// Whether the window's preview of the selection is on screen; the preview taking the
    /// keyboard must not dismiss the panel.
    virtual bool previewIsOnScreen() const = 0;
};

} // namespace ulmaro
