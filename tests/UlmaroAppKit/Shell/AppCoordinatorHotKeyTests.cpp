#include "AppCoordinatorFixture.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"

#include <gmock/gmock.h>

namespace ulmaro::test {
namespace {

using State = HotKeyStatus::State;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr KeyCombo altSpace = KeyCombo::optionSpace;
constexpr KeyCombo ctrlK{40, KeyCombo::control};

const MenuItemSpec* searchItem(const MenuSpec& menu) {
    for (const auto& item : menu.items)
        if (item.action == MenuAction::search) return &item;
    return nullptr;
}

TEST(AppCoordinatorHotKey, ATakenKeyAtLaunchIsTriedFourTimesLoggedOnceThenOfferedForChange) {
    AppFixture fixture;
    fixture.hotKeyBackend->take(altSpace);
    auto app = fixture.make();
    const auto menus = fixture.statusItem->updates;

    EXPECT_FALSE(app->registerHotKeyWithRetry());
    // Attempts at 0, 0.5, 1.5 and 3.5 s; one line, however many attempts.
    const std::pair<double, std::size_t> timeline[] = {{0.49, 1}, {0.01, 2}, {0.99, 2}, {0.01, 3},
                                                       {1.99, 3}, {0.01, 4}, {10, 4}};
    for (const auto& [step, attempts] : timeline) {
        fixture.clock->advance(Seconds(step));
        EXPECT_EQ(fixture.hotKeyBackend->attempts().size(), attempts);
    }
    EXPECT_EQ(fixture.errors,
              (std::vector<std::string>{"Ulmaro: could not register Alt+Space \u2014 it's already "
                                        "bound to another app. Summon via the tray icon "
                                        "instead.\n"}));
    EXPECT_TRUE(app->hotKeyUnavailable.get());
    // Once when the key was found taken (the search item loses its key), once for the offer.
    ASSERT_EQ(fixture.statusItem->updates, menus + 2);
    EXPECT_TRUE(app->menuBarViewModel().hotKeyUnavailable);
    EXPECT_TRUE(fixture.statusItem->showsItem("Shortcut unavailable — click to change"));
    EXPECT_EQ(searchItem(fixture.statusItem->menu)->shortcutHint, "");
    EXPECT_EQ(app->hotKeyStatus.get(), (HotKeyStatus{State::taken, altSpace}));
    EXPECT_EQ(app->overlayViewModel().hotKeyDisplay.get(), "Alt+Space");
    EXPECT_EQ(app->overlayViewModel().hotkeyLine.get(),
              "Alt+Space is already taken by another app \u2014 open Ulmaro from its tray icon "
              "instead.");

    // Another shortcut chosen in Settings works: every place names it, the offer goes away.
    EXPECT_TRUE(app->registerHotKey(ctrlK));
    EXPECT_FALSE(app->hotKeyUnavailable.get());
    EXPECT_FALSE(app->menuBarViewModel().hotKeyUnavailable);
    EXPECT_FALSE(fixture.statusItem->showsItem("Shortcut unavailable — click to change"));
    EXPECT_EQ(searchItem(fixture.statusItem->menu)->shortcutHint, "Ctrl+K");
    EXPECT_EQ(app->overlayViewModel().hotKeyDisplay.get(), "Ctrl+K");
    EXPECT_EQ(app->overlayViewModel().hotkeyLine.get(), "Press Ctrl+K anywhere.");
}

TEST(AppCoordinatorHotKey, WithoutATrayTheWordsPointToASecondLaunch) {
    AppFixture fixture;
    fixture.statusItem->trayShown = false;
    fixture.hotKeyBackend->take(altSpace);
    auto app = fixture.make();
    EXPECT_FALSE(app->registerHotKeyWithRetry());
    fixture.clock->advance(Seconds(10));
    ASSERT_EQ(fixture.errors.size(), 1u);
    EXPECT_EQ(fixture.errors[0], "Ulmaro: could not register Alt+Space \u2014 it's already bound "
                                 "to another app. Run ulmaro again to summon the panel instead.\n");
    EXPECT_THAT(fixture.errors[0], Not(HasSubstr("menu bar")));
    EXPECT_EQ(app->overlayViewModel().hotkeyLine.get(),
              "Alt+Space is already taken by another app \u2014 running ulmaro again opens "
              "Ulmaro.");
    app->setupOnboarding(false, std::nullopt);
    EXPECT_EQ(app->onboardingViewModel().allSetHotkeyLine(),
              "Open Ulmaro any time by running ulmaro again.");
}

TEST(AppCoordinatorHotKey, WithoutGlobalKeysNothingIsGrabbedOrRetriedAndEveryPlaceSaysWhy) {
    AppFixture fixture;
    fixture.hotKeyBackend->withoutGlobalKeys();
    auto app = fixture.make();

    EXPECT_FALSE(app->registerHotKeyWithRetry());
    fixture.clock->advance(Seconds(10));
    EXPECT_TRUE(fixture.hotKeyBackend->attempts().empty()) << "nothing registered";
    EXPECT_EQ(fixture.errors,
              (std::vector<std::string>{"Ulmaro: global shortcuts need an X11 session; bind a "
                                        "desktop shortcut to run ulmaro, which summons the "
                                        "running copy.\n"}));
    EXPECT_FALSE(app->hotKeyUnavailable.get()) << "nothing to offer for change";
    EXPECT_EQ(app->hotKeyStatus.get().state, State::noGlobalKeys);

    const auto& menu = fixture.statusItem->menu;
    EXPECT_EQ(searchItem(menu)->shortcutHint, "");
    EXPECT_FALSE(fixture.statusItem->showsItem("Shortcut unavailable — click to change"));
    EXPECT_TRUE(fixture.statusItem->showsItem("Global shortcuts need an X11 session"));
    EXPECT_TRUE(fixture.statusItem->showsItem("Run ulmaro again to summon the panel"));
    EXPECT_EQ(app->overlayViewModel().hotkeyLine.get(),
              "Global shortcuts need an X11 session; running ulmaro again summons the panel.");

    // A change asked for (Settings offers none, but a caller might) grabs nothing either.
    EXPECT_FALSE(app->registerHotKey(ctrlK));
    EXPECT_TRUE(fixture.hotKeyBackend->attempts().empty());
    EXPECT_EQ(fixture.errors.size(), 1u);
    for (const auto& line : fixture.errors)
        EXPECT_THAT(line, Not(HasSubstr("already bound")));

    app->setupOnboarding(false, std::nullopt);
    EXPECT_EQ(app->onboardingViewModel().allSetHotkeyLine(),
              "Global shortcuts need an X11 session; running ulmaro again summons the panel.");
}

TEST(AppCoordinatorHotKey, TheFirstRunFlowFollowsAShortcutChangedMeanwhile) {
    AppFixture fixture;
    auto app = fixture.make();
    ASSERT_TRUE(app->registerHotKeyWithRetry());
    app->setupOnboarding(true, std::nullopt);
    auto& onboarding = app->onboardingViewModel();
    EXPECT_EQ(onboarding.hotKeyDisplay(), "Alt+Space");
    EXPECT_TRUE(app->registerHotKey(ctrlK));
    EXPECT_EQ(onboarding.hotKeyDisplay(), "Ctrl+K");
    EXPECT_EQ(onboarding.allSetHotkeyLine(), "Press Ctrl+K to open Ulmaro from anywhere.");
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
    EXPECT_EQ(app->hotKeyStatus.get(), (HotKeyStatus{State::registered, altSpace}));
    EXPECT_EQ(searchItem(fixture.statusItem->menu)->shortcutHint, "Alt+Space");
}

TEST(AppCoordinatorHotKey, AChangeToATakenKeyRestoresTheHeldOne) {
    AppFixture fixture;
    auto app = fixture.make();
    ASSERT_TRUE(app->registerHotKeyWithRetry());
    fixture.hotKeyBackend->take(ctrlK);

    EXPECT_FALSE(app->registerHotKey(ctrlK));
    ASSERT_EQ(fixture.errors.size(), 1u);
    EXPECT_THAT(fixture.errors[0], HasSubstr("could not register Ctrl+K"));
    ASSERT_EQ(fixture.hotKeyBackend->held().size(), 1u);
    EXPECT_EQ(fixture.hotKeyBackend->held().begin()->second, altSpace);
    EXPECT_EQ(app->overlayViewModel().hotKeyDisplay.get(), "Alt+Space");
    EXPECT_EQ(app->overlayViewModel().hotkeyLine.get(), "Press Alt+Space anywhere.");
    EXPECT_EQ(searchItem(fixture.statusItem->menu)->shortcutHint, "Alt+Space");

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
