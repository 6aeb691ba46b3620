#pragma once

#include "UlmaroAppKit/MenuBar/MenuBarViewModel.h"
#include "UlmaroAppKit/MenuBar/MenuSpec.h"

#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// The tray item as `MenuBarController` sees it: an icon, a tooltip and a menu drawn from
/// values, reporting back when the menu opens and closes and which item was chosen. The
/// application's is `TrayStatusItem`; tests record. Main thread only.
class StatusItemView {
public:
    class Listener {
    public:
        virtual void menuWillOpen() = 0;
        virtual void menuDidClose() = 0;
        virtual void perform(MenuAction action, const std::optional<std::string>& payload) = 0;

    protected:
        ~Listener() = default;
    };

    virtual ~StatusItemView() = default;

    /// `listener` outlives its installation; null uninstalls it.
    virtual void setListener(Listener* listener) = 0;
    /// The mark drawn for `glyph` at `animationPhase`.
    virtual void setIcon(MenuBarViewModel::IconState::Glyph glyph, int animationPhase,
                         const std::string& accessibilityDescription) = 0;
    virtual void setToolTip(const std::string& text) = 0;
    /// Replaces the menu with a new one built from `menu`.
    virtual void setMenu(const MenuSpec& menu) = 0;
    /// Gives the shown menu's health lines new titles, in order, in place.
    virtual void retitleHealthLines(const std::vector<std::string>& titles) = 0;
    /// Whether the desktop shows tray icons at all; where it does not, the item is there
    /// but nobody sees it, and what it offers must be reached another way.
    virtual bool desktopShowsTray() const { return true; }
};

} // namespace ulmaro
