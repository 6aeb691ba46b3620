#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Settings/WindowFrameStore.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(WindowFrameStore, SavedFramesComeBackUnderTheirAutosaveName) {
    InMemorySettingsStore settings;
    WindowFrameStore frames(settings);
    frames.save("Catalog", {-20, 30, 900, 560});
    frames.save("Settings", {0, 0, 480, 400});
    EXPECT_EQ(frames.load("Catalog"), (WindowFrame{-20, 30, 900, 560}));
    EXPECT_EQ(frames.load("Settings"), (WindowFrame{0, 0, 480, 400}));
    EXPECT_EQ(frames.load("Other"), std::nullopt);
    EXPECT_EQ(settings.value("app.ulmaro.windowFrame.Catalog"),
              (nlohmann::json{{"x", -20}, {"y", 30}, {"width", 900}, {"height", 560}}));
}

// Hand-edited or damaged values read as no frame, and stay in the file.
TEST(WindowFrameStore, AnythingButAFrameReadsAsAbsent) {
    const nlohmann::json cases[] = {
        "0 0 900 560",
        nlohmann::json::array({0, 0, 900, 560}),
        {{"x", 0}, {"y", 0}, {"width", 900}},
        {{"x", 0}, {"y", 0}, {"width", 900}, {"height", "560"}},
        {{"x", 0}, {"y", 0}, {"width", 900.5}, {"height", 560}},
        {{"x", 0}, {"y", 0}, {"width", 0}, {"height", 560}},
        {{"x", 0}, {"y", 0}, {"width", 900}, {"height", -560}},
        {{"x", 0}, {"y", 0}, {"width", 900}, {"height", 1LL << 40}},
        {{"x", -(1LL << 40)}, {"y", 0}, {"width", 900}, {"height", 560}},
    };
    for (const auto& value : cases) {
        InMemorySettingsStore settings;
        settings.setValue(WindowFrameStore::key("Catalog"), value);
        EXPECT_EQ(WindowFrameStore(settings).load("Catalog"), std::nullopt) << value.dump();
        EXPECT_EQ(settings.value(WindowFrameStore::key("Catalog")), value);
    }
}

} // namespace
} // namespace ulmaro
