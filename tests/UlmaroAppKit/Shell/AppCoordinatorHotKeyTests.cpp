#include "AppCoordinatorFixture.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"

namespace ulmaro::test {
namespace {

constexpr KeyCombo altSpace = KeyCombo::optionSpace;
constexpr KeyCombo ctrlK{40, KeyCombo::control};

TEST(AppCoordinatorHotKey, TheFailureLineNamesTheCombinationWithLinuxKeys) {
    EXPECT_EQ(AppCoordinator::hotKeyTakenLine(altSpace),
              "Ulmaro: could not register Alt+Space \u2014 it's already bound to another app. "
              "Summon via the menu bar item instead.\n");
}

TEST(AppCoordinatorHotKey, ATakenKeyAtLaunchIsTriedFourTimesThenOfferedForChange) {
    AppFixture fixture;
    fixture.hotKeyBackend->take(altSpace);
    auto app = fixture.make();
    const auto menus = fixture.statusItem->updates;

    EXPECT_FALSE(app->registerHotKeyWithRetry());
    // Attempts at 0, 0.5, 1.5 and 3.5 s, each failure one line.
    const std::pair<double, std::size_t> timeline[] = {{0.49, 1}, {0.01, 2}, {0.99, 2}, {0.01, 3},
                                                       {1.99, 3}, {0.01, 4}, {10, 4}};
    for (const auto& [step, attempts] : timeline) {
        fixture.clock->advance(Seconds(step));
        EXPECT_EQ(fixture.hotKeyBackend->attempts().size(), attempts);
        EXPECT_EQ(fixture.errors.size(), attempts);
    }
    EXPECT_EQ(fixture.errors.back(), AppCoordinator::hotKeyTakenLine(altSpace));
    EXPECT_TRUE(app->hotKeyUnavailable.get());
    ASSERT_EQ(fixture.statusItem->updates, menus + 1);
    EXPECT_TRUE(app->menuBarViewModel().hotKeyUnavailable);
    EXPECT_TRUE(fixture.statusItem->showsItem("Shortcut unavailable — click to change"));
    EXPECT_EQ(app->overlayViewModel().hotKeyDisplay.get(), "Alt+Space");

    // Another shortcut chosen in Settings works: the menu's offer goes away.
    EXPECT_TRUE(app->registerHotKey(ctrlK));
    EXPECT_FALSE(app->hotKeyUnavailable.get());
    EXPECT_FALSE(app->menuBarViewModel().hotKeyUnavailable);
    EXPECT_FALSE(fixture.statusItem->showsItem("Shortcut unavailable — click to change"));
    EXPECT_EQ(app->overlayViewModel().hotKeyDisplay.get(), "Ctrl+K");
}

TEST(AppCoordinatorHotKey, AKeyFreedDuringTheRetriesIsTakenAndNothingIsOffered) {
    AppFixture fixture;
    fixture.hotKeyBackend->take(altSpace);
    auto app = fixture.make();
    EXPECT_FALSE(app->registerHotKeyWithRetry());
    fixture.clock->advance(Seconds(0.5));
    fixture.hotKeyBackend->free(altSpace);
    fixture.clock->advance(Seconds(1.0));
    EXPECT_EQ(fixture.hotKeyBackend->held().size(), 1u);
    fixture.clock->advance(Seconds(10));
    EXPECT_EQ(fixture.hotKeyBackend->attempts().size(), 3u);
    EXPECT_FALSE(app->hotKeyUnavailable.get());
    EXPECT_FALSE(app->menuBarViewModel().hotKeyUnavailable);
}

TEST(AppCoordinatorHotKey, AChangeToATakenKeyRestoresTheHeldOne) {
    AppFixture fixture;
    auto app = fixture.make();
    ASSERT_TRUE(app->registerHotKeyWithRetry());
    fixture.hotKeyBackend->take(ctrlK);

    EXPECT_FALSE(app->registerHotKey(ctrlK));
    EXPECT_EQ(fixture.errors, (std::vector<std::string>{AppCoordinator::hotKeyTakenLine(ctrlK)}));
    ASSERT_EQ(fixture.hotKeyBackend->held().size(), 1u);
    EXPECT_EQ(fixture.hotKeyBackend->held().begin()->second, altSpace);
    EXPECT_EQ(app->overlayViewModel().hotKeyDisplay.get(), "Alt+Space");
    EXPECT_EQ(app->overlayViewModel().hotkeyLine.get(), "Press Alt+Space anywhere.");

    // The restored key still summons.
    fixture.hotKeyBackend->press(altSpace);
    fixture.main->drain();
    EXPECT_TRUE(fixture.panel->visible);
}

TEST(AppCoordinatorHotKey, WithNoKeyHeldAFailedChangeHoldsNone) {
    AppFixture fixture;
    fixture.hotKeyBackend->take(altSpace);
    fixture.hotKeyBackend->take(ctrlK);
    auto app = fixture.make();
    EXPECT_FALSE(app->registerHotKey(ctrlK));
    EXPECT_TRUE(fixture.hotKeyBackend->held().empty());
    // Only the asked combination was tried: nothing was held to restore.
    EXPECT_EQ(fixture.hotKeyBackend->attempts(), (std::vector<KeyCombo>{ctrlK}));
    EXPECT_TRUE(app->overlayViewModel().hotkeyLine.get().starts_with("Ctrl+K is already taken"));
}

TEST(AppCoordinatorHotKey, ARetryAfterTheCoordinatorIsGoneDoesNothing) {
    AppFixture fixture;
    fixture.hotKeyBackend->take(altSpace);
    auto app = fixture.make();
    EXPECT_FALSE(app->registerHotKeyWithRetry());
    app.reset();
    fixture.clock->advance(Seconds(10));
    EXPECT_EQ(fixture.hotKeyBackend->attempts().size(), 1u);
    EXPECT_EQ(fixture.errors.size(), 1u);
}

} // namespace
} // namespace ulmaro::test
