#pragma once

#include "UlmaroAppKit/Shell/HotKeyBackend.h"

#include <map>
#include <set>
#include <vector>

namespace ulmaro {

/// The global-shortcut service for tests: refuses what the test marks as taken (and, like
/// the system, a combination one of its own registrations holds), and delivers presses when
/// the test says so, inside the call as a system callback would.
class FakeHotKeyBackend final : public HotKeyBackend {
public:
    void setPressHandler(PressHandler handler) override;
    bool grab(std::uint32_t id, const KeyCombo& combo) override;
    void release(std::uint32_t id) override;
    bool globalKeysAvailable() const override { return globalKeysAvailable_; }

    /// A session that lets no program take a global key (Wayland): every grab is refused.
    void withoutGlobalKeys() { globalKeysAvailable_ = false; }

    /// Another program holds `combo` (or lets it go): grabs of it are refused.
    void take(const KeyCombo& combo) { taken_.insert(key(combo)); }
    void free(const KeyCombo& combo) { taken_.erase(key(combo)); }

    /// A press of whatever registration holds `combo`; false when none does.
    bool press(const KeyCombo& combo);
    /// A press carrying `id`, held or not, as a late event from the system would.
    void pressID(std::uint32_t id);

    int handlerInstalls() const { return handlerInstalls_; }
    /// Every grab asked for, refused or not, in order.
    const std::vector<KeyCombo>& attempts() const { return attempts_; }
    const std::map<std::uint32_t, KeyCombo>& held() const { return held_; }

private:
    static std::pair<std::uint32_t, std::uint32_t> key(const KeyCombo& combo) {
        return {combo.keyCode, combo.modifiers};
    }

    PressHandler handler_;
    int handlerInstalls_ = 0;
    std::set<std::pair<std::uint32_t, std::uint32_t>> taken_;
    std::vector<KeyCombo> attempts_;
    std::map<std::uint32_t, KeyCombo> held_;
    bool globalKeysAvailable_ = true;
};

} // namespace ulmaro
