#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"

namespace ulmaro {

std::optional<PanelPoint> SettingsPanelPositionStore::savedTopLeft() {
    if (settings_.intValue(versionKey).value_or(0) < currentVersion) {
        settings_.setInt(versionKey, currentVersion);
        clear();
        return std::nullopt;
    }
    auto x = settings_.doubleValue(originXKey);
    auto y = settings_.doubleValue(originYKey);
    if (!x || !y) return std::nullopt;
    return PanelPoint{*x, *y};
}

void SettingsPanelPositionStore::save(PanelPoint topLeft) {
    settings_.setInt(versionKey, currentVersion);
    settings_.setDouble(originXKey, topLeft.x);
    settings_.setDouble(originYKey, topLeft.y);
}

void SettingsPanelPositionStore::clear() {
    settings_.remove(originXKey);
    settings_.remove(originYKey);
}

} // namespace ulmaro
