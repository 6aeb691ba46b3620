#include "UlmaroAppKit/MenuBar/StatusItemView.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Platform/TimerService.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/HotKey.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"

namespace ulmaro {

std::shared_ptr<HotKey> AppCoordinator::makeSummonKey(const KeyCombo& combo) {
    return env_.hotKeys->makeHotKey(combo, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->summon();
    });
}

HotKeyStatus AppCoordinator::hotKeyStatusOf(HotKeyStatus::State state,
                                            const KeyCombo& combo) const {
    return {state, combo, !env_.statusItem || env_.statusItem->desktopShowsTray()};
}

void AppCoordinator::publishHotKeyStatus(const HotKeyStatus& status) {
    overlayViewModel_->setHotKeyStatus(status);
    onboardingViewModel_->hotKey.set(status);
    const bool changed = !(hotKeyStatus.get() == status);
    hotKeyStatus.set(status);
    // The tray's search item names the key held.
    if (changed) refreshMenuBar();
}

bool AppCoordinator::registerHotKey(const KeyCombo& combo) {
    if (!env_.hotKeys->globalKeysAvailable()) {
        // Nothing can be grabbed in this session; the launch has said why.
        publishHotKeyStatus(hotKeyStatusOf(HotKeyStatus::State::noGlobalKeys, combo));
        return false;
    }
    const bool hadKey = hotKey_ != nullptr;
    if (hotKey_) {
        hotKey_->unregisterKey();
        hotKey_.reset();
    }
    KeyCombo inForce = combo;
    auto key = makeSummonKey(combo);
    const bool registered = key->registerKey();
    if (registered) {
        hotKey_ = std::move(key);
        loggedHotKeyFailure_.reset();
    } else {
        if (env_.writeError && loggedHotKeyFailure_ != combo)
            env_.writeError(hotKeyStatusOf(HotKeyStatus::State::taken, combo).logLine());
        loggedHotKeyFailure_ = combo;
        if (hadKey) {
            const KeyCombo saved = preferences_->hotKey();
            auto restored = makeSummonKey(saved);
            if (restored->registerKey()) {
                hotKey_ = std::move(restored);
                inForce = saved;
            }
        }
    }
    publishHotKeyStatus(hotKeyStatusOf(
        hotKey_ ? HotKeyStatus::State::registered : HotKeyStatus::State::taken, inForce));
    if (registered) {
        // A working key ends the launch's retries and the menu's offer to change it.
        hotKeyRetry_.reset();
        if (hotKeyUnavailable.get()) {
            hotKeyUnavailable.set(false);
            refreshMenuBar();
        }
    }
    return registered;
}

bool AppCoordinator::registerHotKeyWithRetry() {
    if (!env_.hotKeys->globalKeysAvailable()) {
        const auto status =
            hotKeyStatusOf(HotKeyStatus::State::noGlobalKeys, preferences_->hotKey());
        if (env_.writeError) env_.writeError(status.logLine());
        publishHotKeyStatus(status);
        return false;
    }
    const bool registered = registerHotKey(preferences_->hotKey());
    if (registered)
        hotKeyUnavailable.set(false);
    else
        scheduleHotKeyRetry(0);
    return registered;
}

void AppCoordinator::scheduleHotKeyRetry(int attempt) {
    if (attempt >= static_cast<int>(std::size(hotKeyRetryDelays))) {
        hotKeyRetry_.reset();
        hotKeyUnavailable.set(true);
        refreshMenuBar();
        return;
    }
    hotKeyRetry_ = env_.timers->scheduleOnce(
        Seconds(hotKeyRetryDelays[attempt]), [weak = weak_from_this(), attempt] {
            auto self = weak.lock();
            if (!self) return;
            if (self->registerHotKey(self->preferences_->hotKey())) {
                self->hotKeyUnavailable.set(false);
                self->refreshMenuBar();
            } else {
                self->scheduleHotKeyRetry(attempt + 1);
            }
        });
}

} // namespace ulmaro
