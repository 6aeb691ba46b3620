#include "UlmaroAppKit/MenuBar/MenuBarController.h"

#include <utility>

namespace ulmaro {

MenuBarController::MenuBarController(std::shared_ptr<StatusItemView> view,
                                     MenuBarMenuBuilder::Environment environment,
                                     MenuBarMenuBuilder::Callbacks callbacks)
    : view_(std::move(view)), timers_(environment.timers), clock_(environment.clock),
      menuBuilder_(std::move(environment), std::move(callbacks)) {
    menuBuilder_.onRetitleHealthLines = [this](const std::vector<std::string>& titles) {
        retitleHealthLines(titles);
    };
    view_->setListener(this);
    update(initialViewModel());
}

MenuBarController::~MenuBarController() {
    view_->setListener(nullptr);
}

MenuBarViewModel MenuBarController::initialViewModel() {
    return {.indexState = MenuBarViewModel::Loading{},
            .startAtLogin = LoginItemViewModel::DisplayState::off};
}

void MenuBarController::setHealthProvider(MenuBarMenuBuilder::HealthProvider provider) {
    menuBuilder_.healthProvider = std::move(provider);
}

void MenuBarController::update(const MenuBarViewModel& viewModel) {
    applyIconState(viewModel.iconState());
    view_->setToolTip(viewModel.summaryLine(clock_->now()));
    show(menuBuilder_.buildMenu(viewModel));
}

void MenuBarController::applyIconState(const MenuBarViewModel::IconState& state) {
    currentGlyph_ = state.glyph;
    if (state.glyph != Glyph::working) animationPhase_ = 0;
    accessibilityDescription_ = state.accessibilityDescription;
    view_->setIcon(state.glyph, animationPhase_, accessibilityDescription_);
    if (state.glyph != Glyph::working) {
        animationTimer_.reset();
    } else if (!animationTimer_) {
        animationTimer_ =
            timers_->scheduleRepeating(animationInterval, [this] { advanceAnimation(); });
    }
}

void MenuBarController::advanceAnimation() {
    if (currentGlyph_ != Glyph::working) return;
    animationPhase_ = (animationPhase_ + 1) % animationPhases;
    view_->setIcon(Glyph::working, animationPhase_, accessibilityDescription_);
}

void MenuBarController::show(MenuSpec menu) {
    if (menuOpen_) {
        pending_ = std::move(menu);
        return;
    }
    if (hasShownMenu_ && menu == shown_) return;
    shown_ = std::move(menu);
    hasShownMenu_ = true;
    view_->setMenu(shown_);
}

void MenuBarController::menuWillOpen() {
    menuOpen_ = true;
    menuBuilder_.menuWillOpen(shown_.healthLineIndexes().size());
}

void MenuBarController::menuDidClose() {
    menuOpen_ = false;
    menuBuilder_.menuDidClose();
    if (auto pending = std::exchange(pending_, std::nullopt)) show(std::move(*pending));
}

void MenuBarController::retitleHealthLines(const std::vector<std::string>& titles) {
    // The shown menu keeps what the item shows, so a later equal menu is still recognised.
    const auto indexes = shown_.healthLineIndexes();
    for (std::size_t i = 0; i < titles.size() && i < indexes.size(); ++i)
        shown_.items[indexes[i]].title = titles[i];
    view_->retitleHealthLines(titles);
}

void MenuBarController::perform(MenuAction action, const std::optional<std::string>& payload) {
    menuBuilder_.perform(action, payload);
}

} // namespace ulmaro
