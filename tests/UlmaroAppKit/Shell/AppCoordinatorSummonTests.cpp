#include "../Panel/OverlayViewModelFixture.h"
#include "AppCoordinatorFixture.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"

namespace ulmaro::test {
namespace {

using Keys = AppCoordinator::Keys;

TEST(AppCoordinatorSummon, TheShortcutTogglesThePanelAndFinishesAPendingFlow) {
    struct Case {
        const char* name;
        bool onboardingPending;
        bool visible;
        bool expectVisible;
        bool expectRestored;
    } cases[] = {
        {"hidden", false, false, true, false},
        {"visible", false, true, false, true},
        {"onboarding, hidden", true, false, true, false},
        {"onboarding, visible", true, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFixture fixture;
        if (!c.onboardingPending) fixture.completeOnboarding();
        auto app = fixture.make();
        app->setupOnboarding(true, std::nullopt);
        ASSERT_EQ(app->onboardingViewModel().isShowing(), c.onboardingPending);
        ASSERT_EQ(app->indexingStarted(), !c.onboardingPending);
        if (c.visible) app->panelController().show(false);

        app->summon();
        EXPECT_EQ(fixture.panel->visible, c.expectVisible);
        EXPECT_EQ(fixture.indexOf("previous app activated") < fixture.effects.size(),
                  c.expectRestored);
        // A finished flow is recorded and has started indexing.
        EXPECT_FALSE(app->onboardingViewModel().isShowing());
        EXPECT_TRUE(OnboardingStore::hasCompleted(*fixture.settings));
        EXPECT_TRUE(app->indexingStarted());
    }
}

TEST(AppCoordinatorSummon, DismissingFinishesTheFlowRestoresAndResets) {
    AppFixture fixture;
    auto app = fixture.make();
    app->setupOnboarding(true, std::nullopt);
    auto engine = std::make_shared<FakeSearchEngine>();
    app->overlayViewModel().setEngine(engine);
    app->presentFirstRunAutomatically({});
    app->overlayViewModel().updateQuery("half typed");

    app->dismissOverlay();
    EXPECT_FALSE(app->onboardingViewModel().isShowing());
    EXPECT_TRUE(app->indexingStarted());
    EXPECT_FALSE(fixture.panel->visible);
    EXPECT_LT(fixture.indexOf("previous app activated"), fixture.effects.size());
    EXPECT_EQ(app->overlayViewModel().queryText.get(), "");
}

// Escape while a newer search runs drops its outcome: nothing may say "Searching…" later.
TEST(AppCoordinatorSummon, ADismissalDuringASearchLeavesNoStaleRows) {
    AppFixture fixture;
    fixture.completeOnboarding();
    auto app = fixture.make();
    auto engine = std::make_shared<FakeSearchEngine>();
    auto& model = app->overlayViewModel();
    model.setEngine(engine);
    app->summon();
    model.updateQuery("meet");
    engine->answerLast(resultsOf({row(1, "/home/me/meeting.txt")}));
    fixture.main->drain();
    model.updateQuery("meeting contains:agenda");
    ASSERT_TRUE(model.resultsAreStale.get());

    app->dismissOverlay();
    engine->answerLast(resultsOf({row(1, "/home/me/meeting.txt")}));
    fixture.main->drain();
    app->summon();
    EXPECT_TRUE(fixture.panel->visible);
    EXPECT_TRUE(model.state.get().isIdle());
    EXPECT_FALSE(model.resultsAreStale.get());
}

TEST(AppCoordinatorSummon, ARecentFileMovesToTheFrontAndOpensBehindAHiddenPanel) {
    AppFixture fixture;
    fixture.completeOnboarding();
    auto app = fixture.make();
    auto& recents = app->recentsStore();
    recents.recordOpened("/home/me/old.txt", "old.txt", fixture.clock->now());
    recents.recordOpened("/home/me/new.txt", "new.txt", fixture.clock->now());
    app->summon();
    const auto frecencyBefore = app->frecencyStore().count();

    app->openRecentFile("/home/me/gone.txt");
    EXPECT_TRUE(fixture.opener->opened.empty());
    EXPECT_TRUE(fixture.panel->visible);

    fixture.statusItem->choose(MenuAction::recentFile, "/home/me/old.txt");
    EXPECT_EQ(recents.recentFiles().front().path, "/home/me/old.txt");
    EXPECT_EQ(recents.recentFiles().size(), 2u);
    EXPECT_EQ(fixture.opener->opened, (std::vector<std::string>{"/home/me/old.txt"}));
    EXPECT_FALSE(fixture.panel->visible);
    EXPECT_EQ(fixture.indexOf("previous app activated"), fixture.effects.size());
    EXPECT_EQ(app->frecencyStore().count(), frecencyBefore);
}

TEST(AppCoordinatorSummon, TheAccessAskIsAnsweredWithoutOpeningAnything) {
    AppFixture fixture;
    fixture.access = false;
    fixture.completeOnboarding();
    FirstRunStore::markFirstRunCompleted(*fixture.settings);
    fixture.settings->setBool(Keys::fdaAskOwed, true);
    auto app = fixture.make();
    auto& model = app->overlayViewModel();
    ASSERT_TRUE(model.fdaPromptVisible.get());

    app->deferFullDiskAccess();
    EXPECT_FALSE(model.fdaPromptVisible.get());
    EXPECT_TRUE(model.fdaBannerVisible.get());
    EXPECT_TRUE(fixture.settings->boolValue(Keys::fdaLaterTapped).value_or(false));
    EXPECT_FALSE(fixture.settings->contains(Keys::fdaAskOwed));

    // Turned on again without access: the banner, not the prompt.
    model.fdaBannerVisible.set(false);
    app->applySearchThisMac();
    EXPECT_TRUE(model.fdaBannerVisible.get());
    EXPECT_FALSE(model.fdaPromptVisible.get());

    app->grantFullDiskAccess();
    EXPECT_FALSE(model.fdaPromptVisible.get());
    EXPECT_FALSE(fixture.settings->contains(Keys::fdaAskOwed));
    EXPECT_TRUE(fixture.opener->opened.empty());
}

} // namespace
} // namespace ulmaro::test
