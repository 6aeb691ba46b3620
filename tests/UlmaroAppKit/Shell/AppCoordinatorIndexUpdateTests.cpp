#include "UlmaroAppKit/Indexing/ContentIndexHolder.h"
#include "UlmaroAppKit/Indexing/EmptyIndex.h"
#include "UlmaroAppKit/Search/TrigramIndexHolder.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Shell/AppCoordinatorFixture.h"
#include "UlmaroAppKit/Shell/ContentIndexUpkeep.h"
#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Content/ContentIndex.h"
#include "UlmaroKit/Index/IndexStore.h"

namespace ulmaro::test {
namespace {

using IndexState = IndexCoordinator::State;
using Menu = MenuBarViewModel;

/// A launched coordinator over a written index, already ready.
struct IndexUpdateFixture : AppFixture {
    std::shared_ptr<AppCoordinator> app;

    IndexUpdateFixture() {
        completeOnboarding();
        writeIndex(options.indexPath, 1);
    }
    void launch() {
        app = make();
        ASSERT_TRUE(app->indexCoordinator().store());
    }
    IndexCoordinator::Store store() const { return app->indexCoordinator().store(); }
    void update(const IndexState& state) { app->handleIndexUpdate(state, store()); }
    void writeCatalog(const std::string& id, std::int64_t files) {
        const auto folder = app->catalogLibrary().layout().directory(id);
        IndexBuilder builder;
        builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        std::filesystem::create_directories(folder);
        IndexWriter::write(builder, std::vector<VolumeEntry>{{"V-" + id, "/", 0, true}},
                           folder / "index.bin");
        CatalogInfo info;
        info.id = id;
        info.name = "Drive " + id;
        info.volumeUUID = "V-" + id;
        info.fileCount = files;
        info.write(folder / "info.json");
    }
};

TEST(AppCoordinatorIndexUpdates, TheEngineIsBuiltOnlyWhenItsInputsChange) {
    IndexUpdateFixture fixture;
    fixture.launch();
    ASSERT_EQ(fixture.engines.size(), 1u);
    EXPECT_EQ(fixture.engines[0].store, fixture.store());
    EXPECT_EQ(fixture.engines[0].limit, fixture.preferences->resultLimit());
    EXPECT_TRUE(fixture.engines[0].contentIndex);
    ASSERT_TRUE(fixture.engines[0].excludeSystemPaths);
    EXPECT_FALSE(fixture.engines[0].excludeSystemPaths());

    struct Step {
        const char* name;
        std::function<void()> act;
        bool builds;
    };
    auto& f = fixture;
    const Step steps[] = {
        {"the same ready state again",
         [&] {
             f.update(IndexCoordinator::Ready{1, f.clock->now()});
         },
         false},
        {"a progress tick",
         [&] {
             f.update(IndexCoordinator::Refreshing{1, 500});
         },
         false},
        {"another sort order", [&] { f.app->overlayViewModel().sortOrder.set(SortOrder::name); },
         true},
        {"the same sort order", [&] { f.app->overlayViewModel().sortOrder.set(SortOrder::name); },
         false},
        {"a new result limit",
         [&] {
             f.preferences->setResultLimit(500);
             f.app->resultLimitChanged();
         },
         true},
        {"the catalog library reloaded", [&] { f.app->catalogLibrary().reloadAll(); }, true},
        {"another store object of the same file",
         [&] {
             f.app->handleIndexUpdate(IndexCoordinator::Ready{1, f.clock->now()},
                                      IndexStore::open(f.options.indexPath));
         },
         true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const auto before = fixture.engines.size();
        step.act();
        EXPECT_EQ(fixture.engines.size() - before, step.builds ? 1u : 0u);
    }
    EXPECT_EQ(fixture.engines.back().sortOrder, SortOrder::name);
    EXPECT_EQ(fixture.engines.back().limit, 500);
}

TEST(AppCoordinatorIndexUpdates, SwitchingThisComputerOffAndOnAlwaysBuildsAnew) {
    IndexUpdateFixture fixture;
    fixture.launch();
    fixture.writeCatalog("cat-1", 40);
    fixture.app->catalogLibrary().reloadAll();
    auto& panel = fixture.app->overlayViewModel();

    struct Step {
        bool searched;
        bool engineOnMainStore;
    } steps[] = {{false, false}, {false, false}, {true, true}, {false, false}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.searched);
        const auto before = fixture.engines.size();
        fixture.preferences->setSearchThisMac(step.searched);
        fixture.app->applySearchThisMac();
        ASSERT_EQ(fixture.engines.size(), before + 1);
        const auto& built = fixture.engines.back();
        ASSERT_TRUE(built.store);
        EXPECT_EQ(built.store == fixture.store(), step.engineOnMainStore);
        EXPECT_EQ(static_cast<bool>(built.contentIndex), step.searched);
        ASSERT_EQ(built.catalogs.size(), 1u);
        EXPECT_EQ(built.catalogs[0].id, "cat-1");
        if (!step.searched) {
            EXPECT_EQ(built.store->count(), 0u);
            EXPECT_FALSE(panel.attributeDataIncomplete.get());
            EXPECT_EQ(panel.totalIndexedCount.get(), 40);
            EXPECT_EQ(fixture.app->menuBarViewModel().indexState,
                      Menu::IndexAvailability(Menu::CatalogOnly{1, 40}));
            EXPECT_FALSE(panel.hasContentIndex.get());
        }
    }
    EXPECT_TRUE(fixture.systemLog.empty());
}

TEST(AppCoordinatorIndexUpdates, NoEmptyBaseIndexFailsThePanelAndLogsOnce) {
    IndexUpdateFixture fixture;
    // A folder where the empty index would be written: it can be neither read nor made.
    std::filesystem::create_directories(EmptyIndex::path(fixture.options.indexPath) / "x");
    fixture.launch();
    const auto built = fixture.engines.size();
    fixture.preferences->setSearchThisMac(false);
    fixture.app->applySearchThisMac();
    auto& panel = fixture.app->overlayViewModel();
    EXPECT_EQ(fixture.engines.size(), built);
    EXPECT_FALSE(panel.isSearchEnabled());
    EXPECT_EQ(panel.state.get(), OverlayResultState::failed(AppCoordinator::noIndexText));
    EXPECT_EQ(fixture.systemLog, std::vector<std::string>{AppCoordinator::noEmptyIndexLine});
    EXPECT_FALSE(fixture.app->lastEngineInputs());

    // Back on: the main index serves again and the failure clears.
    fixture.preferences->setSearchThisMac(true);
    fixture.app->applySearchThisMac();
    EXPECT_EQ(fixture.engines.size(), built + 1);
    EXPECT_TRUE(panel.state.get().isIdle());
}

TEST(AppCoordinatorIndexUpdates, StateSequencesReachThePanelAndTheMenu) {
    IndexUpdateFixture fixture;
    fixture.launch();
    auto& panel = fixture.app->overlayViewModel();
    const auto now = fixture.clock->now();
    struct Step {
        const char* name;
        IndexState state;
        OverlayResultState panelState;
        std::optional<std::int64_t> background;
        std::optional<std::int64_t> total;
        Menu::IndexAvailability menu;
    } steps[] = {
        {"first scan", IndexCoordinator::Indexing{10}, OverlayResultState::indexing(10),
         std::nullopt, 1, Menu::Indexing{10}},
        {"refresh takes over", IndexCoordinator::Refreshing{7, 3}, OverlayResultState::idle(), 3, 7,
         Menu::Refreshing{7, 3}},
        {"refresh moves on", IndexCoordinator::Refreshing{7, 9}, OverlayResultState::idle(), 9, 7,
         Menu::Refreshing{7, 9}},
        {"ready", IndexCoordinator::Ready{12, now}, OverlayResultState::idle(), std::nullopt, 12,
         Menu::Ready{12, now}},
        {"scan again", IndexCoordinator::Indexing{2}, OverlayResultState::indexing(2), std::nullopt,
         12, Menu::Indexing{2}},
        {"failure", IndexCoordinator::Failed{"Disk full"}, OverlayResultState::idle(), std::nullopt,
         12, Menu::Failed{"Disk full"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        fixture.update(step.state);
        EXPECT_EQ(panel.state.get(), step.panelState);
        EXPECT_EQ(panel.backgroundScanFiles.get(), step.background);
        EXPECT_EQ(panel.totalIndexedCount.get(), step.total);
        EXPECT_EQ(fixture.app->menuBarViewModel().indexState, step.menu);
    }
    EXPECT_EQ(fixture.app->onboardingViewModel().filesSoFar.get(), 2);
}

TEST(AppCoordinatorIndexUpdates, TheFirstRunCompletesOnceAndOnlyWithoutAScanInFlight) {
    {
        IndexUpdateFixture fixture;
        fixture.options.isFirstRun = true;
        fixture.launch();
        // The launch's own ready state completed it; a later one does not again.
        EXPECT_TRUE(FirstRunStore::hasCompletedFirstRun(*fixture.settings));
        auto& message = fixture.app->overlayViewModel().firstRunCompletionMessage;
        EXPECT_TRUE(message.get());
        message.set(std::nullopt);
        fixture.update(IndexCoordinator::Ready{1, fixture.clock->now()});
        EXPECT_FALSE(message.get());
    }
    {
        IndexUpdateFixture fixture;
        fixture.options.isFirstRun = true;
        fixture.options.startIndexingImmediately = false;
        fixture.app = fixture.make();
        fixture.app->indexCoordinator().rebuildNow();
        ASSERT_TRUE(fixture.app->indexCoordinator().isScanning());
        fixture.app->handleIndexUpdate(IndexCoordinator::Ready{1, fixture.clock->now()},
                                       IndexStore::open(fixture.options.indexPath));
        EXPECT_FALSE(FirstRunStore::hasCompletedFirstRun(*fixture.settings));
        EXPECT_FALSE(fixture.app->overlayViewModel().firstRunCompletionMessage.get());
    }
}

TEST(AppCoordinatorIndexUpdates, TheRescanOwedForAccessRunsOnceTheIndexIsReady) {
    IndexUpdateFixture fixture;
    fixture.settings->setBool(AppCoordinator::Keys::lastScanUsedFullDiskAccess, false);
    fixture.launch();
    EXPECT_FALSE(fixture.app->needsPostFDARescan());
    EXPECT_TRUE(fixture.app->indexCoordinator().isScanning());
    EXPECT_EQ(fixture.settings->boolValue(AppCoordinator::Keys::lastScanUsedFullDiskAccess), true);
}

TEST(AppCoordinatorIndexUpdates, CatalogTrigramHoldersFollowTheLibrary) {
    IndexUpdateFixture fixture;
    fixture.launch();
    fixture.writeCatalog("kept", 1);
    fixture.writeCatalog("forgotten", 1);
    auto& library = fixture.app->catalogLibrary();
    library.reloadAll();
    const auto kept = fixture.app->catalogTrigramHolder("kept");
    const auto forgotten = fixture.app->catalogTrigramHolder("forgotten");
    EXPECT_EQ(fixture.app->catalogTrigramHolder("kept"), kept);
    EXPECT_EQ(kept->cacheURL(), library.layout().directory("kept") / "trigram.cache");

    std::filesystem::remove_all(library.layout().directory("forgotten"));
    library.reloadAll();
    EXPECT_EQ(fixture.app->catalogTrigramHolder("kept"), kept);
    const auto again = fixture.app->catalogTrigramHolder("forgotten");
    EXPECT_NE(again, forgotten);
}

TEST(AppCoordinatorIndexUpdates, SwitchingOffDropsTheContentIndexAndOnReadsItAgain) {
    IndexUpdateFixture fixture;
    fixture.launch();
    auto& holder = fixture.app->contentIndexHolder();
    ContentIndex index;
    index.upsert("/home/me/a.txt", 1.0, "quarterly numbers");
    index.write(fixture.app->contentIndexUpkeep().path());

    fixture.preferences->setSearchThisMac(false);
    fixture.app->applySearchThisMac();
    EXPECT_FALSE(holder.current());
    EXPECT_FALSE(fixture.app->overlayViewModel().hasContentIndex.get());

    fixture.preferences->setSearchThisMac(true);
    fixture.app->applySearchThisMac();
    ASSERT_TRUE(holder.current());
    EXPECT_FALSE(holder.current()->isEmpty());
    EXPECT_TRUE(fixture.app->overlayViewModel().hasContentIndex.get());
}

} // namespace
} // namespace ulmaro::test
