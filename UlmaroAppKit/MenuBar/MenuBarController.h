#pragma once

#include "UlmaroAppKit/MenuBar/MenuBarMenuBuilder.h"
#include "UlmaroAppKit/MenuBar/MenuBarViewModel.h"
#include "UlmaroAppKit/MenuBar/MenuSpec.h"
#include "UlmaroAppKit/MenuBar/StatusItemView.h"
#include "UlmaroAppKit/Platform/TimerService.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// Owns the tray item: draws the icon for the view model's state, animates it while the
/// index is first built or the application starts, sets the tooltip and hands the item a
/// menu from `MenuBarMenuBuilder`. Tray menus travel to the desktop over D-Bus, so a menu
/// equal to the shown one is not sent again, and while the menu is open it stays as it is
/// (its health lines still refresh) until it closes. Main thread only.
class MenuBarController final : private StatusItemView::Listener {
public:
    using Glyph = MenuBarViewModel::IconState::Glyph;
    static constexpr Seconds animationInterval{0.4};
    static constexpr int animationPhases = 4;

    /// Shows `initialViewModel()` at once.
    MenuBarController(std::shared_ptr<StatusItemView> view,
                      MenuBarMenuBuilder::Environment environment,
                      MenuBarMenuBuilder::Callbacks callbacks);
    ~MenuBarController();
    MenuBarController(const MenuBarController&) = delete;
    MenuBarController& operator=(const MenuBarController&) = delete;

    /// Icon, tooltip, then menu.
    void update(const MenuBarViewModel& viewModel);
    void setHealthProvider(MenuBarMenuBuilder::HealthProvider provider);

    /// Starting up: loading, login off, nothing listed, no health.
    static MenuBarViewModel initialViewModel();

    Glyph currentGlyph() const { return currentGlyph_; }
    int animationPhase() const { return animationPhase_; }
    bool isAnimating() const { return animationTimer_ != nullptr; }
    /// The menu the item shows now.
    const MenuSpec& shownMenu() const { return shown_; }
    bool isMenuOpen() const { return menuOpen_; }
    MenuBarMenuBuilder& menuBuilder() { return menuBuilder_; }

private:
    void menuWillOpen() override;
    void menuDidClose() override;
    void perform(MenuAction action, const std::optional<std::string>& payload) override;

    void applyIconState(const MenuBarViewModel::IconState& state);
    void advanceAnimation();
    void show(MenuSpec menu);
    void retitleHealthLines(const std::vector<std::string>& titles);

    std::shared_ptr<StatusItemView> view_;
    std::shared_ptr<TimerService> timers_;
    std::shared_ptr<const Clock> clock_;
    MenuBarMenuBuilder menuBuilder_;
    Glyph currentGlyph_ = Glyph::ready;
    int animationPhase_ = 0;
    std::string accessibilityDescription_;
    std::unique_ptr<Timer> animationTimer_;
    MenuSpec shown_;
    bool hasShownMenu_ = false;
    std::optional<MenuSpec> pending_;
    bool menuOpen_ = false;
};

} // namespace ulmaro
