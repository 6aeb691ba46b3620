#pragma once

#include "UlmaroAppKit/Panel/PanelPositionStoring.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"

namespace ulmaro {

/// The saved corner in the settings. A corner saved under an older layout version is
/// dropped once, the first time it is asked for.
class SettingsPanelPositionStore final : public PanelPositionStoring {
public:
    static constexpr const char* versionKey = "app.ulmaro.panelLayoutVersion";
    static constexpr const char* originXKey = "app.ulmaro.panelOriginX";
    static constexpr const char* originYKey = "app.ulmaro.panelOriginY";
    static constexpr int currentVersion = 4;

    explicit SettingsPanelPositionStore(SettingsStore& settings) : settings_(settings) {}

    std::optional<PanelPoint> savedTopLeft() override;
    void save(PanelPoint topLeft) override;
    /// Forgets the corner; the version stays.
    void clear() override;

private:
    SettingsStore& settings_;
};

} // namespace ulmaro
