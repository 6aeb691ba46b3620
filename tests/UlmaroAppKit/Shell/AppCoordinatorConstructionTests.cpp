#include "AppCoordinatorFixture.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroKit/Index/IndexStore.h"

namespace ulmaro::test {
namespace {

using Keys = AppCoordinator::Keys;

TEST(AppCoordinatorConstruction, APrimaryLocksBeforeItsItemThenLoadsStartsAndListensLast) {
    AppFixture fixture;
    fixture.completeOnboarding();
    auto app = fixture.make();

    ASSERT_TRUE(app->isPrimaryInstance());
    const Effects& e = fixture.effects;
    EXPECT_EQ(e.front(), "probes roots");
    EXPECT_LT(fixture.indexOf("lock"), fixture.indexOf("status item"));
    EXPECT_EQ(e[fixture.indexOf("status item") + 1], "menu");
    EXPECT_EQ(e.back(), "summon observed");

    // The initial menu, before anything is known, then the primary's own refresh with the
    // index's health while this computer is searched.
    EXPECT_EQ(fixture.statusItem->toolTips.front(),
              MenuBarController::initialViewModel().summaryLine(fixture.clock->now()));
    EXPECT_TRUE(app->menuBarViewModel().health.has_value());
    EXPECT_FALSE(app->menuBarViewModel().hotKeyUnavailable);

    // Catalogs are read, then told which volumes are mounted: the one list of VolumeEvents.
    EXPECT_EQ(app->catalogLibrary().mounted(), fixture.volumes);
    EXPECT_EQ(fixture.mountedList(), fixture.volumes);

    // Onboarding was completed: indexing starts, once.
    EXPECT_TRUE(app->indexingStarted());
    EXPECT_TRUE(app->indexCoordinator().isScanning());
    EXPECT_TRUE(
        std::holds_alternative<IndexCoordinator::Indexing>(app->indexCoordinator().state()));

    // The volume probes are warmed off the main thread.
    EXPECT_EQ(fixture.indexOf("probes warmed"), e.size());
    fixture.queues->globalUtility()->async([] {});
    fixture.queues->drainAll();
    EXPECT_LT(fixture.indexOf("probes warmed"), e.size());

    // Callbacks of both copies and of the primary are in place.
    EXPECT_TRUE(app->overlayViewModel().dismissBeforeOpen);
    EXPECT_TRUE(app->indexCoordinator().onUpdate);
    EXPECT_TRUE(fixture.catalogs->onPromptForDrive);

    // A later copy's summon shows the panel without activating.
    (*fixture.summon->handler)();
    EXPECT_TRUE(fixture.panel->visible);
}

TEST(AppCoordinatorConstruction, ASecondaryOnlySummonsTheFirstAndSaysSo) {
    AppFixture fixture;
    fixture.completeOnboarding();
    fixture.primary = false;
    auto app = fixture.make();

    EXPECT_FALSE(app->isPrimaryInstance());
    // The controller shows its first state as it is made, then the coordinator its own.
    EXPECT_EQ(fixture.effects, (Effects{"probes roots", "lock", "status item", "menu", "menu",
                                        "summon posted", "menu"}));
    EXPECT_EQ(app->menuBarViewModel().indexState,
              MenuBarViewModel::IndexAvailability(
                  MenuBarViewModel::Unavailable{"Another instance is running."}));
    EXPECT_EQ(fixture.statusItem->toolTips.back(), "Ulmaro — index unavailable · Rebuild");

    // Nothing started: no index, no catalogs, no volumes, no summon observer.
    EXPECT_FALSE(app->indexingStarted());
    EXPECT_FALSE(app->indexCoordinator().isScanning());
    EXPECT_TRUE(app->catalogLibrary().mounted().empty());
    EXPECT_FALSE(app->overlayViewModel().dismissBeforeOpen);
    EXPECT_FALSE(*fixture.summon->handler);
    app->startCatalogs();
    EXPECT_EQ(fixture.indexOf("catalogs start"), fixture.effects.size());

    // The callbacks of both copies are installed all the same.
    EXPECT_TRUE(fixture.catalogs->onPromptForDrive);
    EXPECT_TRUE(app->recentsStore().onChange);
}

TEST(AppCoordinatorConstruction, FirstRunAndIndexingStartFollowTheStoredFlags) {
    struct Case {
        const char* name;
        bool searchThisMac;
        bool onboardingCompleted;
        bool firstRunCompleted;
        std::optional<bool> startImmediately;
        bool expectFirstRun;
        bool expectPanelFirstRun;
        bool expectEndedWithout;
        bool expectStarted;
    } cases[] = {
        {"first launch", true, false, false, {}, true, true, false, false},
        {"first launch, start asked", true, false, false, true, true, true, false, true},
        {"onboarding done", true, true, true, {}, false, false, false, true},
        {"onboarding done, start refused", true, true, true, false, false, false, false, false},
        {"first run ended without this computer", false, true, false, {}, true, false, true, false},
        {"this computer off, onboarding pending",
         false,
         false,
         false,
         {},
         true,
         true,
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFixture fixture;
        fixture.preferences->setSearchThisMac(c.searchThisMac);
        if (c.onboardingCompleted) fixture.completeOnboarding();
        if (c.firstRunCompleted) FirstRunStore::markFirstRunCompleted(*fixture.settings);
        fixture.options.startIndexingImmediately = c.startImmediately;
        auto app = fixture.make();
        EXPECT_EQ(app->isFirstRun(), c.expectFirstRun);
        EXPECT_EQ(app->overlayViewModel().isFirstRun.get(), c.expectPanelFirstRun);
        EXPECT_EQ(app->firstRunEndedWithoutTheMac(), c.expectEndedWithout);
        EXPECT_EQ(FirstRunStore::hasCompletedFirstRun(*fixture.settings),
                  c.firstRunCompleted || c.expectEndedWithout);
        EXPECT_EQ(app->indexingStarted(), c.expectStarted);
        EXPECT_EQ(app->indexCoordinator().isScanning(), c.expectStarted);
    }

    // The launch after a first run that ended without this computer is no first run.
    AppFixture fixture;
    fixture.preferences->setSearchThisMac(false);
    fixture.completeOnboarding();
    fixture.make();
    EXPECT_FALSE(fixture.make()->isFirstRun());
}

TEST(AppCoordinatorConstruction, TheAccessAskFollowsItsFlags) {
    struct Case {
        const char* name;
        bool searchThisMac;
        bool access;
        bool askOwed;
        bool laterTapped;
        bool firstRun;
        bool expectPrompt;
        bool expectBanner;
        bool expectAskOwed;
    } cases[] = {
        {"granted clears the owed ask", true, true, true, false, false, false, false, false},
        {"owed and not deferred", true, false, true, false, false, true, false, true},
        {"owed but deferred", true, false, true, true, false, false, true, true},
        {"a first run asks", true, false, false, false, true, true, false, false},
        {"nothing owed", true, false, false, false, false, false, false, false},
        {"this computer off", false, false, true, true, false, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFixture fixture;
        fixture.preferences->setSearchThisMac(c.searchThisMac);
        fixture.access = c.access;
        fixture.completeOnboarding();
        if (!c.firstRun) FirstRunStore::markFirstRunCompleted(*fixture.settings);
        if (c.askOwed) fixture.settings->setBool(Keys::fdaAskOwed, true);
        if (c.laterTapped) fixture.settings->setBool(Keys::fdaLaterTapped, true);
        auto app = fixture.make();
        EXPECT_EQ(app->overlayViewModel().fdaPromptVisible.get(), c.expectPrompt);
        EXPECT_EQ(app->overlayViewModel().fdaBannerVisible.get(), c.expectBanner);
        EXPECT_EQ(fixture.settings->boolValue(Keys::fdaAskOwed).value_or(false), c.expectAskOwed);
        EXPECT_EQ(fixture.effects.front(), c.access ? "probes roots" : "probes no roots");
    }
}

TEST(AppCoordinatorConstruction, ARescanIsOwedWhenAccessCameSinceTheLastScan) {
    struct Case {
        const char* name;
        bool indexExists;
        bool access;
        bool lastScanUsedAccess;
        bool expect;
    } cases[] = {
        {"access arrived", true, true, false, true},
        {"the last scan had it", true, true, true, false},
        {"no index yet", false, true, false, false},
        {"still no access", true, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFixture fixture;
        if (c.indexExists) writeIndex(fixture.options.indexPath, 1);
        fixture.access = c.access;
        fixture.settings->setBool(Keys::lastScanUsedFullDiskAccess, c.lastScanUsedAccess);
        EXPECT_EQ(fixture.make()->needsPostFDARescan(), c.expect);
    }
}

TEST(AppCoordinatorConstruction, CatalogsStartOnceInlineAndRebuildAnIndexOfSeveralVolumes) {
    for (const std::size_t volumes : {1u, 2u, 3u}) {
        SCOPED_TRACE(volumes);
        AppFixture fixture;
        fixture.completeOnboarding();
        fixture.preferences->setCatalogMigrationDone(true);
        writeIndex(fixture.options.indexPath, volumes);
        auto app = fixture.make();
        ASSERT_TRUE(
            std::holds_alternative<IndexCoordinator::Ready>(app->indexCoordinator().state()));
        ASSERT_FALSE(app->indexCoordinator().isScanning());

        const auto before = fixture.effects.size();
        app->startCatalogs();
        // No migration pending: the catalogs started before startCatalogs returned.
        const auto started = fixture.effects.begin() + static_cast<std::ptrdiff_t>(before);
        EXPECT_EQ(Effects(started, started + 3),
                  (Effects{"catalogs start", "catalogs watch volumes", "catalogs live updates"}));
        EXPECT_EQ(app->indexCoordinator().isScanning(), volumes > 1);

        const auto after = fixture.effects.size();
        app->startCatalogs();
        EXPECT_EQ(fixture.effects.size(), after);
    }
}

TEST(AppCoordinatorConstruction, APendingMigrationStartsTheCatalogsWhenItEnds) {
    AppFixture fixture;
    fixture.preferences->setSearchThisMac(false);
    fixture.completeOnboarding();
    writeIndex(fixture.options.indexPath, 2);
    auto app = fixture.make();
    app->startCatalogs();
    EXPECT_EQ(fixture.indexOf("catalogs start"), fixture.effects.size());
    fixture.queues->drainAll();
    fixture.main->drain();
    EXPECT_LT(fixture.indexOf("catalogs start"), fixture.effects.size());
    // This computer is not searched: its index is left alone.
    EXPECT_FALSE(app->indexCoordinator().isScanning());
}

TEST(AppCoordinatorConstruction, TheScanPolicyFollowsAccessAndTheExclusionsOfTheMoment) {
    AppFixture fixture;
    const std::filesystem::path home = "/home/me";
    auto excludes = [&](bool access, const std::string& path) {
        return AppCoordinator::scanPolicy(access, home, *fixture.preferences)
            .excluded.contains(path);
    };
    EXPECT_FALSE(excludes(true, "/home/me/Documents"));
    EXPECT_TRUE(excludes(false, "/home/me/Documents"));
    EXPECT_FALSE(excludes(true, "/home/me/Videos/raw"));
    fixture.preferences->addExclusion("/home/me/Videos/raw");
    EXPECT_TRUE(excludes(true, "/home/me/Videos/raw"));
    EXPECT_TRUE(excludes(false, "/home/me/Videos/raw"));
}

TEST(AppCoordinatorConstruction, EngineInputsCompareStoresByIdentity) {
    TempDir dir;
    writeIndex(dir / "index.bin", 1);
    const IndexCoordinator::Store one = loadIndex(dir / "index.bin").store;
    const IndexCoordinator::Store same = loadIndex(dir / "index.bin").store;
    ASSERT_TRUE(one && same);
    using Inputs = AppCoordinator::EngineInputs;
    const Inputs base{one, nullptr, {"/gone"}, SortOrder::relevance, 3};
    EXPECT_EQ(base, (Inputs{one, nullptr, {"/gone"}, SortOrder::relevance, 3}));
    // Equal bytes are not the same store: a reloaded index builds a new engine.
    EXPECT_NE(base, (Inputs{same, nullptr, {"/gone"}, SortOrder::relevance, 3}));
    EXPECT_NE(base, (Inputs{one, one, {"/gone"}, SortOrder::relevance, 3}));
    EXPECT_NE(base, (Inputs{one, nullptr, {}, SortOrder::relevance, 3}));
    EXPECT_NE(base, (Inputs{one, nullptr, {"/gone"}, SortOrder::size, 3}));
    EXPECT_NE(base, (Inputs{one, nullptr, {"/gone"}, SortOrder::relevance, 4}));
}

} // namespace
} // namespace ulmaro::test
