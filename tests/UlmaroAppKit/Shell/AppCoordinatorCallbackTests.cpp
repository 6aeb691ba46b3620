#include "../Panel/OverlayViewModelFixture.h"
#include "AppCoordinatorFixture.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"

namespace ulmaro::test {
namespace {

using Keys = AppCoordinator::Keys;
using Opened = std::pair<std::optional<std::string>, std::optional<std::string>>;

struct CallbackFixture : AppFixture {
    std::shared_ptr<AppCoordinator> app;
    std::vector<Opened> catalogWindow;
    int settingsShown = 0;

    void launch() {
        app = make();
        app->onOpenCatalog = [this](const std::optional<std::string>& id,
                                    const std::optional<std::string>& path) {
            catalogWindow.emplace_back(id, path);
        };
        app->onOpenSettings = [this] { ++settingsShown; };
    }
    void choose(MenuAction action, std::optional<std::string> payload = std::nullopt) {
        statusItem->choose(action, std::move(payload));
    }
};

TEST(AppCoordinatorCallbacks, RebuildRescansCatalogsWithoutThisComputerAndTheIndexOnceStarted) {
    struct Case {
        const char* name;
        bool searchThisMac;
        bool onboardingCompleted;
        bool expectCatalogRescan;
        bool expectIndexScan;
    } cases[] = {
        {"this computer off", false, true, true, false},
        {"on and started", true, true, false, true},
        {"on, not started", true, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CallbackFixture fixture;
        fixture.preferences->setSearchThisMac(c.searchThisMac);
        if (c.onboardingCompleted) fixture.completeOnboarding();
        writeIndex(fixture.options.indexPath, 1);
        fixture.launch();
        ASSERT_FALSE(fixture.app->indexCoordinator().isScanning());
        fixture.choose(MenuAction::rebuild);
        EXPECT_EQ(fixture.indexOf("catalogs rescan online") < fixture.effects.size(),
                  c.expectCatalogRescan);
        EXPECT_EQ(fixture.app->indexCoordinator().isScanning(), c.expectIndexScan);
    }
}

TEST(AppCoordinatorCallbacks, MenuItemsReachThePanelStoresAndWindows) {
    CallbackFixture fixture;
    fixture.completeOnboarding();
    fixture.launch();
    auto& app = *fixture.app;

    fixture.choose(MenuAction::search);
    EXPECT_TRUE(fixture.panel->visible);
    fixture.choose(MenuAction::resetPosition);
    EXPECT_EQ(fixture.effects.back(), "panel centred");
    fixture.choose(MenuAction::search);
    EXPECT_FALSE(fixture.panel->visible);

    fixture.choose(MenuAction::searchHelp);
    EXPECT_TRUE(fixture.panel->visible);
    EXPECT_TRUE(app.overlayViewModel().showingCheatSheet.get());
    app.dismissOverlay();

    // A recent search shows the panel activated and runs the query.
    auto engine = std::make_shared<FakeSearchEngine>();
    app.overlayViewModel().setEngine(engine);
    fixture.choose(MenuAction::recentSearch, "kind:pdf invoice");
    EXPECT_TRUE(fixture.panel->visible);
    EXPECT_EQ(app.overlayViewModel().queryText.get(), "kind:pdf invoice");
    EXPECT_EQ(engine->texts().back(), "kind:pdf invoice");

    app.recentsStore().recordSearch("old", 3, fixture.clock->now());
    const auto menus = fixture.statusItem->updates;
    fixture.choose(MenuAction::clearRecents);
    EXPECT_TRUE(app.recentsStore().recentSearches().empty());
    EXPECT_GT(fixture.statusItem->updates, menus);

    fixture.choose(MenuAction::toggleStartAtLogin);
    EXPECT_EQ(fixture.login->registrations, 1);
    EXPECT_EQ(fixture.app->menuBarViewModel().startAtLogin, LoginItemViewModel::DisplayState::on);

    fixture.choose(MenuAction::openSettings);
    EXPECT_EQ(fixture.settingsShown, 1);
    fixture.choose(MenuAction::openCatalog, "cat-1");
    fixture.choose(MenuAction::openCatalog);
    EXPECT_EQ(fixture.catalogWindow,
              (std::vector<Opened>{{"cat-1", std::nullopt}, {std::nullopt, std::nullopt}}));

    EXPECT_TRUE(app.menuBar().menuBuilder().healthProvider().has_value());
    fixture.preferences->setSearchThisMac(false);
    EXPECT_FALSE(app.menuBar().menuBuilder().healthProvider().has_value());

    fixture.choose(MenuAction::quit);
    EXPECT_EQ(fixture.terminations, 1);
}

TEST(AppCoordinatorCallbacks, FixingPermissionsAnswersTheAskAndOpensSettings) {
    CallbackFixture fixture;
    fixture.access = false;
    fixture.completeOnboarding();
    fixture.settings->setBool(Keys::fdaAskOwed, true);
    fixture.launch();
    ASSERT_TRUE(fixture.app->overlayViewModel().fdaPromptVisible.get());
    fixture.choose(MenuAction::fixPermissions);
    EXPECT_FALSE(fixture.app->overlayViewModel().fdaPromptVisible.get());
    EXPECT_FALSE(fixture.settings->contains(Keys::fdaAskOwed));
    EXPECT_EQ(fixture.settingsShown, 1);
    EXPECT_TRUE(fixture.opener->opened.empty());
}

TEST(AppCoordinatorCallbacks, AQuerySavedTwiceIsRemovedAtOnce) {
    CallbackFixture fixture;
    fixture.settings->setData(
        Keys::savedSearches,
        R"([{"name":"a","query":"x"},{"name":"b","query":"y"},{"name":"c","query":"x"}])");
    fixture.launch();
    auto& model = fixture.app->overlayViewModel();
    EXPECT_TRUE(model.isQuerySaved("x"));
    EXPECT_FALSE(model.isQuerySaved("z"));

    model.onToggleSavedQuery("x");
    EXPECT_EQ(fixture.app->savedSearchStore().searches.get(),
              (std::vector<SavedSearch>{{"b", "y"}}));
    EXPECT_EQ(fixture.app->menuBarViewModel().savedSearches,
              (std::vector<SavedSearch>{{"b", "y"}}));
    EXPECT_FALSE(model.isQuerySaved("x"));

    model.onToggleSavedQuery("x");
    EXPECT_EQ(fixture.app->savedSearchStore().searches.get(),
              (std::vector<SavedSearch>{{"b", "y"}, {"x", "x"}}));
    // Written through: a new store reads the same list.
    EXPECT_EQ(SavedSearchStore(fixture.settings, Keys::savedSearches).searches.get(),
              fixture.app->savedSearchStore().searches.get());
}

TEST(AppCoordinatorCallbacks, ASortChangeWaitsForTheIndexUnlessThisComputerIsOff) {
    for (const bool searchThisMac : {true, false}) {
        SCOPED_TRACE(searchThisMac);
        CallbackFixture fixture;
        fixture.preferences->setSearchThisMac(searchThisMac);
        fixture.launch();
        auto& model = fixture.app->overlayViewModel();
        auto engine = std::make_shared<FakeSearchEngine>();
        model.setEngine(engine);
        model.updateQuery("report");
        const auto searches = engine->searchCount();
        const auto menus = fixture.statusItem->updates;

        model.onSortChanged(SortOrder::size);
        // Before the index loads nothing runs; without this computer the update and the
        // query run again at once.
        EXPECT_EQ(engine->searchCount(), searches + (searchThisMac ? 0 : 1));
        EXPECT_EQ(fixture.statusItem->updates, menus + (searchThisMac ? 0 : 1));
        EXPECT_EQ(model.queryText.get(), "report");
    }
}

TEST(AppCoordinatorCallbacks, OnlyACatalogRowIsRevealedInTheCatalogWindow) {
    CallbackFixture fixture;
    fixture.launch();
    RankedRow local;
    local.path = "/home/me/a.txt";
    RankedRow catalogued;
    catalogued.path = "/media/me/USB/b.txt";
    catalogued.origin = RowOrigin::fromCatalog("cat-7", "USB", false);
    auto& model = fixture.app->overlayViewModel();
    model.onRevealInCatalog(local);
    model.onRevealInCatalog(catalogued);
    EXPECT_EQ(fixture.catalogWindow, (std::vector<Opened>{{"cat-7", "/media/me/USB/b.txt"}}));
}

TEST(AppCoordinatorCallbacks, PartsReportToTheMenuPromptsAndOnboarding) {
    CallbackFixture fixture;
    fixture.loopBacked = {"/media/me/ISO"};
    fixture.launch();
    auto& app = *fixture.app;
    auto& catalogs = *fixture.catalogs;

    // Onboarding shows (never completed): the panel stays on losing focus, prompts wait.
    EXPECT_FALSE(app.panelController().shouldDismissOnResignKey());
    EXPECT_TRUE(catalogs.isOnboardingShowing());
    app.onboardingViewModel().skip();
    EXPECT_TRUE(app.panelController().shouldDismissOnResignKey());
    EXPECT_FALSE(catalogs.isOnboardingShowing());

    EXPECT_TRUE(catalogs.isDiskImage(volume("ISO", "/media/me/ISO")));
    EXPECT_FALSE(catalogs.isDiskImage(volume("USB-UUID", "/media/me/USB")));

    auto menus = fixture.statusItem->updates;
    catalogs.pending = {CatalogInfo{}};
    catalogs.pending[0].id = "new-1";
    catalogs.pending[0].name = "Photos";
    catalogs.onChange();
    EXPECT_EQ(fixture.statusItem->updates, menus + 1);
    EXPECT_EQ(
        fixture.app->menuBarViewModel().catalogs,
        (std::vector<MenuBarViewModel::CatalogStatus>{{"new-1", "Photos", true, true, false}}));

    menus = fixture.statusItem->updates;
    app.recentsStore().recordOpened("/home/me/a.txt", "a.txt", fixture.clock->now());
    EXPECT_EQ(fixture.statusItem->updates, menus + 1);
    EXPECT_EQ(fixture.app->menuBarViewModel().recentFiles.size(), 1u);

    // Drive offers go through the prompt queue; its answers reach the catalog side.
    const auto usb = volume("USB-UUID", "/media/me/USB");
    const auto other = volume("OTHER", "/media/me/Other");
    catalogs.onPromptForDrive(usb);
    catalogs.onPromptForDrive(other);
    EXPECT_EQ(fixture.presenter->titles, (std::vector<std::string>{"Catalog “/media/me/USB”?"}));
    fixture.presenter->catalog();
    EXPECT_EQ(catalogs.catalogued, (std::vector<MountedVolume>{usb}));
    EXPECT_EQ(fixture.presenter->titles.back(), "Catalog “/media/me/Other”?");
    fixture.presenter->decline();
    EXPECT_EQ(fixture.preferences->declinedDriveUUIDs(), (std::vector<std::string>{"OTHER"}));

    // A withdrawn drive leaves the queue; one no longer wanted is dropped at its turn.
    catalogs.onPromptForDrive(usb);
    catalogs.onVolumeUnmounted("/media/me/USB");
    EXPECT_FALSE(app.promptQueue().current().has_value());
    catalogs.wanted = false;
    catalogs.onPromptForDrive(other);
    EXPECT_FALSE(app.promptQueue().current().has_value());
}

TEST(AppCoordinatorCallbacks, OpeningHidesThePanelWithoutActivatingAndRecordsFrecency) {
    CallbackFixture fixture;
    fixture.launch();
    auto& app = *fixture.app;
    app.summon();
    ASSERT_TRUE(fixture.panel->visible);
    app.overlayViewModel().dismissBeforeOpen();
    EXPECT_FALSE(fixture.panel->visible);
    EXPECT_EQ(fixture.indexOf("previous app activated"), fixture.effects.size());
    EXPECT_FALSE(app.panelController().capturedFrontmost().has_value());
    // The position is the window's own top-left, y downwards.
    EXPECT_EQ(fixture.settings->doubleValue("app.ulmaro.panelOriginX"), 100.0);
    EXPECT_EQ(fixture.settings->doubleValue("app.ulmaro.panelOriginY"), 80.0);

    app.overlayViewModel().onOpenedPath("/home/me/a.txt");
    EXPECT_TRUE(app.frecencyStore().frecency("/home/me/a.txt").has_value());

    app.indexCoordinator().onFillProgress(5, 9);
    EXPECT_EQ(app.onboardingViewModel().fillProgress.get(), 5);
    EXPECT_EQ(app.onboardingViewModel().fillTotal.get(), 9);
}

TEST(AppCoordinatorCallbacks, OnceTheCoordinatorIsGoneWeakCallbacksGiveTheirDefaults) {
    CallbackFixture fixture;
    fixture.options.recentsStore =
        std::make_shared<RecentsStore>(fixture.settings, Keys::recentSearches, Keys::recentFiles);
    fixture.options.indexCoordinator = std::make_shared<IndexCoordinator>(
        fixture.options.indexPath, [] { return std::string("/"); },
        [] { return ScanPolicy::fullDisk("/home/me", true); }, 86400,
        IndexCoordinator::Dependencies{*fixture.main,
                                       *fixture.clock,
                                       *fixture.clock,
                                       *fixture.settings,
                                       *fixture.queues,
                                       fixture.queues->makeQueue("delta", QueueQuality::utility),
                                       {},
                                       {},
                                       fixture.indexWatchers.factory()});
    fixture.launch();
    const auto model = fixture.app->overlayViewModel().shared_from_this();
    const auto promptQueue = fixture.app->promptQueue().shared_from_this();
    std::weak_ptr<AppCoordinator> weak = fixture.app;
    fixture.app.reset();
    ASSERT_TRUE(weak.expired());

    const auto effects = fixture.effects;
    const auto menus = fixture.statusItem->updates;
    // The menu-bar item went with the coordinator; every other part that outlives it
    // calls back into nothing.
    EXPECT_EQ(fixture.statusItem->listener, nullptr);
    EXPECT_FALSE(model->isQuerySaved("x"));
    model->onToggleSavedQuery("x");
    model->onSortChanged(SortOrder::name);
    model->dismissBeforeOpen();
    model->onOpenedPath("/a");
    model->onRevealInCatalog(RankedRow{});
    fixture.options.recentsStore->recordOpened("/home/me/b", "b", fixture.clock->now());
    fixture.options.indexCoordinator->onUpdate(IndexCoordinator::Loading{}, nullptr);
    fixture.options.indexCoordinator->onFillProgress(1, 2);
    EXPECT_FALSE(fixture.catalogs->isOnboardingShowing());
    fixture.catalogs->onChange();
    fixture.catalogs->onPromptForDrive(volume("V", "/media/me/V"));
    fixture.catalogs->onVolumeUnmounted("/media/me/V");
    ASSERT_FALSE(*fixture.summon->handler);

    EXPECT_EQ(fixture.effects, effects);
    EXPECT_EQ(fixture.statusItem->updates, menus);
    EXPECT_EQ(fixture.login->registrations, 0);
    EXPECT_TRUE(fixture.presenter->titles.empty());
    EXPECT_EQ(fixture.terminations, 0);

    // The prompt queue's answers hold the catalog side strongly: an offer outlives us.
    promptQueue->enqueue(volume("V", "/media/me/V"));
    fixture.presenter->catalog();
    EXPECT_EQ(fixture.catalogs->catalogued.size(), 1u);
}

} // namespace
} // namespace ulmaro::test
