#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Platform/TimerService.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/HotKey.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"

namespace ulmaro {

std::string AppCoordinator::hotKeyTakenLine(const KeyCombo& combo) {
    return "Ulmaro: could not register " + combo.display() +
           " \u2014 it's already bound to another app. Summon via the menu bar item instead.\n";
}

std::shared_ptr<HotKey> AppCoordinator::makeSummonKey(const KeyCombo& combo) {
    return env_.hotKeys->makeHotKey(combo, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->summon();
    });
}

bool AppCoordinator::registerHotKey(const KeyCombo& combo) {
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
    } else {
        if (env_.writeError) env_.writeError(hotKeyTakenLine(combo));
        if (hadKey) {
            const KeyCombo saved = preferences_->hotKey();
            auto restored = makeSummonKey(saved);
            if (restored->registerKey()) {
                hotKey_ = std::move(restored);
                inForce = saved;
            }
        }
    }
    overlayViewModel_->setHotkeyLine(hotKey_ != nullptr, inForce.display());
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
