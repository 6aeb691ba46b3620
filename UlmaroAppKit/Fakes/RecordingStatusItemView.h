#pragma once

#include "UlmaroAppKit/MenuBar/StatusItemView.h"

#include <string>
#include <vector>

namespace ulmaro {

/// A tray item that draws nothing: it keeps what it was given, writes each call down in
/// order ("icon", "tooltip", "menu", "retitle") and lets a test open, close and choose as
/// the user would.
class RecordingStatusItemView final : public StatusItemView {
public:
    struct Icon {
        MenuBarViewModel::IconState::Glyph glyph{};
        int phase = 0;
        std::string description{};
        friend bool operator==(const Icon&, const Icon&) = default;
    };

    std::vector<std::string> calls{};
    std::vector<Icon> icons{};
    std::string toolTip{};
    MenuSpec menu;
    std::size_t menusSet = 0;
    Listener* listener = nullptr;
    /// What `desktopShowsTray` answers.
    bool trayShown = true;

    void setListener(Listener* newListener) override { listener = newListener; }
    void setIcon(MenuBarViewModel::IconState::Glyph glyph, int animationPhase,
                 const std::string& accessibilityDescription) override {
        calls.push_back("icon");
        icons.push_back({glyph, animationPhase, accessibilityDescription});
    }
    void setToolTip(const std::string& text) override {
        calls.push_back("tooltip");
        toolTip = text;
    }
    void setMenu(const MenuSpec& newMenu) override {
        calls.push_back("menu");
        menu = newMenu;
        ++menusSet;
    }
    void retitleHealthLines(const std::vector<std::string>& titles) override {
        calls.push_back("retitle");
        const auto indexes = menu.healthLineIndexes();
        for (std::size_t i = 0; i < titles.size() && i < indexes.size(); ++i)
            menu.items[indexes[i]].title = titles[i];
    }

    bool desktopShowsTray() const override { return trayShown; }

    void open() { listener->menuWillOpen(); }
    void close() { listener->menuDidClose(); }
    void choose(const MenuItemSpec& item) { listener->perform(item.action, item.payload); }
};

} // namespace ulmaro
