#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"

#include <gtest/gtest.h>
#include <vector>

namespace ulmaro {
namespace {

constexpr auto versionKey = SettingsPanelPositionStore::versionKey;
constexpr auto xKey = SettingsPanelPositionStore::originXKey;
constexpr auto yKey = SettingsPanelPositionStore::originYKey;

TEST(SettingsPanelPositionStore, VersionRules) {
    struct Row {
        const char* what;
        std::optional<nlohmann::json> version, x, y;
        std::optional<PanelPoint> expected;
        nlohmann::json versionAfter;
        bool xKept, yKept;
    };
    const std::vector<Row> rows = {
        {"first run", std::nullopt, std::nullopt, std::nullopt, std::nullopt, 4, false, false},
        {"version 3 drops the corner once", 3, 10.0, 20.0, std::nullopt, 4, false, false},
        {"version 0 drops it too", 0, 10.0, 20.0, std::nullopt, 4, false, false},
        {"a version that is no number counts as 0", "4", 10.0, 20.0, std::nullopt, 4, false, false},
        {"version 4 with both", 4, 10.5, -20.0, PanelPoint{10.5, -20}, 4, true, true},
        {"whole numbers read as doubles", 4, 10, 20, PanelPoint{10, 20}, 4, true, true},
        {"a later version is read", 5, 1.0, 2.0, PanelPoint{1, 2}, 5, true, true},
        {"only x: none, x stays", 4, 10.0, std::nullopt, std::nullopt, 4, true, false},
        {"y not a number: none, both stay", 4, 10.0, "top", std::nullopt, 4, true, true},
    };
    for (const Row& row : rows) {
        InMemorySettingsStore settings;
        if (row.version) settings.setValue(versionKey, *row.version);
        if (row.x) settings.setValue(xKey, *row.x);
        if (row.y) settings.setValue(yKey, *row.y);
        SettingsPanelPositionStore store(settings);
        EXPECT_EQ(store.savedTopLeft(), row.expected) << row.what;
        EXPECT_EQ(settings.value(versionKey), row.versionAfter) << row.what;
        EXPECT_EQ(settings.contains(xKey), row.xKept) << row.what;
        EXPECT_EQ(settings.contains(yKey), row.yKept) << row.what;
    }
}

TEST(SettingsPanelPositionStore, SaveWritesTheVersionAndClearKeepsIt) {
    InMemorySettingsStore settings;
    SettingsPanelPositionStore store(settings);
    EXPECT_EQ(store.savedTopLeft(), std::nullopt);
    store.save({12.25, 340});
    EXPECT_EQ(settings.intValue(versionKey), 4);
    EXPECT_EQ(settings.doubleValue(xKey), 12.25);
    EXPECT_EQ(settings.doubleValue(yKey), 340);
    EXPECT_EQ(store.savedTopLeft(), (PanelPoint{12.25, 340}));
    store.clear();
    EXPECT_EQ(store.savedTopLeft(), std::nullopt);
    EXPECT_EQ(settings.intValue(versionKey), 4);
    EXPECT_EQ(settings.size(), 1u);
}

} // namespace
} // namespace ulmaro
