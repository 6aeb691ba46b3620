#include "CoordinatorHarness.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Indexing/IndexLocation.h"
#include "UlmaroAppKit/Indexing/ResourceGuard.h"
#include "UlmaroAppKit/Indexing/ScanMarker.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "UlmaroKit/Scanning/FilesystemEstimate.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;

TEST(IndexCoordinator, FirstBuildWithoutAnIndex) {
    Harness h;
    EXPECT_EQ(h.coordinator->state(), State(IndexCoordinator::Loading{}));
    h.coordinator->start();
    EXPECT_EQ(h.updates, std::vector<State>{Indexing{0}});
    EXPECT_TRUE(h.coordinator->isScanning());
    EXPECT_EQ(h.scanQueue().quality(), QueueQuality::utility);
    h.settle();
    ASSERT_TRUE(h.coordinator->store());
    const auto& store = *h.coordinator->store();
    EXPECT_TRUE(hasPath(store, "beta.md"));
    EXPECT_NE(store.header().attrsCompleteness, AttrsCompleteness::none);
    EXPECT_EQ(h.coordinator->state(),
              State(Ready{static_cast<std::int64_t>(store.count()), h.clock.now()}));
    EXPECT_FALSE(h.coordinator->isScanning());
    EXPECT_FALSE(std::filesystem::exists(ScanMarker::path(h.indexPath)));
    // Statistics describe whole-disk scans only.
    EXPECT_FALSE(h.settings.contains(IndexCoordinator::Keys::lastScanTotal));
    EXPECT_FALSE(h.coordinator->lastScanDuration());
    EXPECT_EQ(h.coordinator->coverage().indexedCount, static_cast<std::int64_t>(store.count()));
    const IndexHealth health = h.coordinator->health();
    EXPECT_TRUE(health.isLoaded);
    EXPECT_EQ(health.fileCount, static_cast<std::int64_t>(store.count()));
    EXPECT_GT(health.indexBytes, 0u);
    EXPECT_EQ(health.attrs, store.header().attrsCompleteness);
}

TEST(IndexCoordinator, SplitsOnlyAWholeDiskBuildWithAFastRootThatExists) {
    TempDir dir;
    struct Case {
        std::string full, fast;
        bool split;
    };
    for (const Case& c : std::vector<Case>{{"/", dir.path().string(), true},
                                           {"/", "/", false},
                                           {"/", "relative/path", false},
                                           {"/", (dir / "missing").string(), false},
                                           {dir.path().string(), dir.path().string(), false}})
        EXPECT_EQ(IndexCoordinator::shouldSplitIntoTwoPasses(c.full, c.fast), c.split)
            << c.full << " " << c.fast;
}

TEST(IndexCoordinator, RescansAnIndexThatIsOldUnfilledOrInterrupted) {
    Harness h;
    h.buildIndex();
    struct Case {
        const char* what;
        double age;
        bool marker;
        bool rescans;
    };
    for (const Case& c : std::vector<Case>{{"one second young", 86399, false, false},
                                           {"exactly stale", 86400, false, true},
                                           {"fresh with a marker", 10, true, true}}) {
        h.make();
        h.updates.clear();
        const WallTime written = modificationTime(h.indexPath);
        if (c.marker) ScanMarker::create(h.indexPath);
        h.clock.setWallTime(written +
                            std::chrono::duration_cast<WallTime::duration>(Seconds(c.age)));
        h.coordinator->start();
        ASSERT_FALSE(h.updates.empty()) << c.what;
        EXPECT_TRUE(std::holds_alternative<Ready>(h.updates.front())) << c.what;
        EXPECT_EQ(std::get<Ready>(h.updates.front()).indexedAt, written) << c.what;
        EXPECT_EQ(h.coordinator->isScanning(), c.rescans) << c.what;
        h.settle();
        EXPECT_FALSE(std::filesystem::exists(ScanMarker::path(h.indexPath))) << c.what;
    }
}

TEST(IndexCoordinator, AnIndexWithoutAttributesIsServedThenFilled) {
    Harness h;
    DirectoryScanner scanner(ScanPolicy(ScanPolicy::defaultExclusions()), 3, 0.1,
                             "/nonexistent-home");
    ScanResult result = scanner.scan(h.root.string(), 0);
    const std::vector<VolumeEntry> volumes{{"local", h.root.string(), 0, true}};
    IndexWriter::write(result.builder, volumes, h.indexPath);
    h.coordinator->start();
    ASSERT_TRUE(h.coordinator->store());
    EXPECT_EQ(h.coordinator->store()->header().attrsCompleteness, AttrsCompleteness::none);
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
    EXPECT_TRUE(h.coordinator->isScanning());
    h.settle();
    EXPECT_NE(h.coordinator->store()->header().attrsCompleteness, AttrsCompleteness::none);
}

TEST(IndexCoordinator, RequestsDuringAScanQueueAndCollapse) {
    Harness h;
    h.buildIndex();
    const auto count = std::get<Ready>(h.coordinator->state()).count;

    // Two explicit refreshes and a background request during one scan: one refresh after it.
    h.coordinator->rebuildNow();
    EXPECT_EQ(h.updates, (std::vector<State>{Refreshing{count, 0}}));
    h.coordinator->rebuildNow();
    h.coordinator->rebuildNow();
    h.coordinator->start(); // asks for nothing new: the index is fresh
    h.updates.clear();
    h.runScan();
    EXPECT_EQ(h.updates.back(), State(Refreshing{count, 0}));
    EXPECT_TRUE(h.coordinator->isScanning());
    EXPECT_EQ(h.scanQueue().pending(), 1u);
    h.runScan();
    EXPECT_FALSE(h.coordinator->isScanning());
    EXPECT_EQ(h.scanQueue().pending(), 0u);
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
}

TEST(IndexCoordinator, StartAgainDuringAScanRepublishesAndOnlyQueues) {
    Harness h;
    h.coordinator->start();
    ASSERT_TRUE(h.coordinator->isScanning());
    h.updates.clear();
    h.coordinator->start();
    EXPECT_EQ(h.updates, std::vector<State>{Indexing{0}});
    EXPECT_EQ(h.scanQueue().pending(), 1u);
    h.runScan();
    // The queued background request runs once the first build has finished.
    EXPECT_TRUE(h.coordinator->isScanning());
    h.settle();
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
}

TEST(IndexCoordinator, ARequestRefusedForSpacePutsTheStateBack) {
    {
        Harness h;
        h.free = 0;
        h.coordinator->start();
        EXPECT_FALSE(h.coordinator->isScanning());
        ASSERT_TRUE(h.coordinator->scanBlockedReason());
        EXPECT_EQ(h.coordinator->state(), State(Failed{*h.coordinator->scanBlockedReason()}));
        EXPECT_EQ(h.coordinator->health().scanBlocked, h.coordinator->scanBlockedReason());
        h.free = std::int64_t(1) << 40;
        h.coordinator->start();
        EXPECT_FALSE(h.coordinator->scanBlockedReason());
        h.settle();
        EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
    }
    {
        Harness h;
        h.buildIndex();
        const auto served = h.coordinator->store();
        h.free = ResourceGuard::reserveBytes - 1;
        h.coordinator->rebuildNow();
        EXPECT_FALSE(h.coordinator->isScanning());
        EXPECT_EQ(h.coordinator->store(), served);
        const auto count = static_cast<std::int64_t>(served->count());
        EXPECT_EQ(h.updates, (std::vector<State>{Refreshing{count, 0},
                                                 Ready{count, modificationTime(h.indexPath)}}));
    }
}

// A failure says what happened, with the path and the system's reason, in one line of the
// log and in what the app shows (the failed state, the health line); it is never called a
// corrupt index. The marker stays, so the next start tries again; a served index stays.
TEST(IndexCoordinator, AFailedScanSaysWhyAndKeepsTheMarkerAndTheServedIndex) {
    struct Case {
        const char* what;
        bool servedBefore;
        std::function<void(Harness&)> breakIt;
        std::function<std::string(Harness&)> expected;
    };
    const Case cases[] = {
        {"index.bin is a folder", false,
         [](Harness& h) { std::filesystem::create_directories(h.indexPath); },
         [](Harness& h) { return "Cannot write " + h.indexPath.string() + ": Is a directory"; }},
        {"the data folder is a file", false, [](Harness& h) { touch(h.indexPath.parent_path()); },
         [](Harness& h) { return "Cannot write " + h.indexPath.string() + ": Not a directory"; }},
        {"the root is gone", true, [](Harness& h) { std::filesystem::remove_all(h.root); },
         [](Harness& h) { return "Cannot read " + h.scanRoot + ": No such file or directory"; }},
        {"the data folder is read-only", true,
         [](Harness& h) {
             std::filesystem::permissions(h.indexPath.parent_path(),
                                          std::filesystem::perms::owner_write,
                                          std::filesystem::perm_options::remove);
         },
         [](Harness& h) { return "Cannot write " + h.indexPath.string() + ": Permission denied"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string_view(c.what) == "the data folder is read-only" && ::geteuid() == 0)
            continue; // permissions do not bind root
        Harness h;
        std::optional<WallTime> written;
        IndexCoordinator::Store served;
        if (c.servedBefore) {
            h.buildIndex();
            served = h.coordinator->store();
            written = modificationTime(h.indexPath);
        }
        c.breakIt(h);
        if (c.servedBefore)
            h.coordinator->rebuildNow();
        else
            h.coordinator->start();
        h.settle();
        const std::string expected = c.expected(h);
        EXPECT_EQ(h.coordinator->lastRescanFailure(), expected);
        ASSERT_EQ(h.errors.size(), 1u);
        EXPECT_NE(h.errors[0].find(expected), std::string::npos) << h.errors[0];
        EXPECT_EQ(h.errors[0].find('\n'), std::string::npos);
        if (c.servedBefore) {
            EXPECT_EQ(h.coordinator->store(), served);
            EXPECT_EQ(h.coordinator->state(),
                      State(Ready{static_cast<std::int64_t>(served->count()), *written}));
            EXPECT_EQ(modificationTime(h.indexPath), *written);
            EXPECT_EQ(h.coordinator->health().lastFailure, expected);
            EXPECT_EQ(h.coordinator->health().statusText(), "last refresh failed — " + expected);
        } else {
            EXPECT_EQ(h.coordinator->state(), State(Failed{expected}));
        }
        // Where the folder takes one, the marker stays for the next start.
        std::error_code ec;
        if (std::filesystem::is_directory(h.indexPath.parent_path(), ec) &&
            std::string_view(c.what) != "the data folder is read-only") {
            EXPECT_TRUE(std::filesystem::exists(ScanMarker::path(h.indexPath)));
        }
        std::filesystem::permissions(h.indexPath.parent_path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
    }
}

TEST(IndexCoordinator, ASuspendedTwoPassBuildStopsAfterTheFastPass) {
    if (!IndexCoordinator::shouldSplitIntoTwoPasses("/", IndexCoordinator::fastRoot))
        GTEST_SKIP() << "no " << IndexCoordinator::fastRoot << " here";
    Harness h;
    h.scanRoot = "/";
    h.coordinator->start();
    h.coordinator->stopWatching();
    h.coordinator->rebuildNow(); // queued, then dropped while suspended
    h.runScan();
    EXPECT_FALSE(h.coordinator->isScanning());
    EXPECT_EQ(h.scanQueue().pending(), 0u);
    ASSERT_TRUE(h.coordinator->store());
    EXPECT_EQ(
        h.coordinator->state(),
        State(Ready{static_cast<std::int64_t>(h.coordinator->store()->count()), h.clock.now()}));
    EXPECT_EQ(h.coordinator->store()->header().attrsCompleteness, AttrsCompleteness::none);
    EXPECT_FALSE(h.settings.contains(IndexCoordinator::Keys::lastScanTotal));
}

TEST(IndexCoordinator, AnExplicitRefreshWinsOverAQueuedBackgroundRescan) {
    Harness h;
    h.buildIndex();
    const auto count = std::get<Ready>(h.coordinator->state()).count;
    h.coordinator->rebuildNow();
    // A background request (the marker makes start() ask for one), then an explicit one.
    ScanMarker::create(h.indexPath);
    h.coordinator->start();
    h.coordinator->rebuildNow();
    EXPECT_EQ(h.scanQueue().pending(), 1u);
    h.updates.clear();
    h.runScan();
    // The explicit refresh runs in its place, publishing as an explicit refresh does.
    ASSERT_GE(h.updates.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<Ready>(h.updates[h.updates.size() - 2]));
    EXPECT_EQ(h.updates.back(), State(Refreshing{count, 0}));
    EXPECT_EQ(h.scanQueue().pending(), 1u);
    h.runScan();
    EXPECT_FALSE(h.coordinator->isScanning());
    EXPECT_EQ(h.scanQueue().pending(), 0u);
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
}

TEST(IndexCoordinator, HealsAnUnfilledIndexAtMostEveryFiveMinutesAndRefreshesWaitBehind) {
    Harness h;
    h.fills = false; // sizes and dates cannot be read: every index stays unfilled
    h.coordinator->start();
    h.runScan();
    ASSERT_TRUE(h.coordinator->store());
    ASSERT_EQ(h.coordinator->store()->header().attrsCompleteness, AttrsCompleteness::none);
    // The build's finish starts a heal, without publishing `refreshing`.
    EXPECT_TRUE(h.coordinator->isScanning());
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));

    // An explicit refresh asked for during the heal waits for it, then runs once.
    h.coordinator->rebuildNow();
    h.updates.clear();
    h.runScan();
    ASSERT_FALSE(h.updates.empty());
    EXPECT_TRUE(std::holds_alternative<Refreshing>(h.updates.back()));
    EXPECT_TRUE(h.coordinator->isScanning());
    // Its finish comes within five minutes of the heal: no second heal.
    h.clock.advance(Seconds(299));
    h.runScan();
    EXPECT_FALSE(h.coordinator->isScanning());
    EXPECT_EQ(h.scanQueue().pending(), 0u);

    // Five minutes after the last heal, the next finish heals again.
    h.clock.advance(Seconds(1));
    h.coordinator->rebuildNow();
    h.runScan();
    EXPECT_TRUE(h.coordinator->isScanning());
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
    h.runScan();
    EXPECT_FALSE(h.coordinator->isScanning());
}

TEST(IndexCoordinator, ProgressOfASupersededScanChangesNothing) {
    Harness h;
    h.buildIndex();
    const auto count = std::get<Ready>(h.coordinator->state()).count;
    h.coordinator->rebuildNow();
    h.coordinator->rebuildNow(); // queued behind the first
    // Everything the first job posts is kept back; only its finish is delivered.
    h.gate.holding = true;
    ASSERT_TRUE(h.scanQueue().runOne());
    h.gate.holding = false;
    ASSERT_GE(h.gate.held.size(), 2u); // at least one progress report, then the finish
    auto finish = std::move(h.gate.held.back());
    h.gate.held.pop_back();
    finish();
    h.main.drain();
    ASSERT_TRUE(h.coordinator->isScanning()); // the queued refresh has started
    h.updates.clear();
    for (auto& late : h.gate.held)
        late();
    EXPECT_TRUE(h.updates.empty());
    EXPECT_EQ(h.coordinator->state(), State(Refreshing{count, 0}));
    EXPECT_EQ(h.coordinator->currentScanProgress(), 0);
    EXPECT_EQ(h.coordinator->currentFillProgress(), 0);
    h.settle();
}

TEST(IndexCoordinator, ReportsFromSettings) {
    Harness h;
    using Keys = IndexCoordinator::Keys;
    EXPECT_EQ(h.coordinator->lastDeniedDirectories(), 0);
    EXPECT_TRUE(h.coordinator->lastDeniedPaths().empty());
    EXPECT_TRUE(h.coordinator->expectedTotalIsEstimate());
    // The estimate is the live count of used inodes, which other tests running beside this
    // one change: only its presence can be compared.
    EXPECT_EQ(h.coordinator->expectedTotal().has_value(),
              FilesystemEstimate::usedInodes().has_value());
    h.settings.setInt(Keys::lastScanTotal, 0);
    EXPECT_TRUE(h.coordinator->expectedTotalIsEstimate());
    h.settings.setInt(Keys::lastScanTotal, 1234);
    EXPECT_FALSE(h.coordinator->expectedTotalIsEstimate());
    EXPECT_EQ(h.coordinator->expectedTotal(), 1234);

    h.settings.setDouble(Keys::lastScanDuration, 12.5);
    EXPECT_FALSE(h.coordinator->lastScanDuration()); // no "lastScanVolumes"
    h.settings.setStringList(Keys::lastScanVolumes, {"/media/usb"});
    EXPECT_FALSE(h.coordinator->lastScanDuration());
    h.settings.setStringList(Keys::lastScanVolumes, {});
    EXPECT_EQ(h.coordinator->lastScanDuration(), 12.5);
    h.settings.setDouble(Keys::lastScanDuration, 0);
    EXPECT_FALSE(h.coordinator->lastScanDuration());

    h.settings.setInt(Keys::lastScanDenied, 3);
    h.settings.setStringList(Keys::lastScanDeniedPaths, {"/home/a/x"});
    EXPECT_EQ(h.coordinator->coverage(), (IndexCoverage{0, 3}));
    EXPECT_EQ(h.coordinator->lastDeniedPaths(), std::vector<std::string>{"/home/a/x"});
    EXPECT_EQ(h.coordinator->health().deniedDirectories, 3);
}

TEST(IndexCoordinator, MessagesForRebuildReasons) {
    EXPECT_EQ(IndexCoordinator::message(RebuildReason::versionMismatch(3, 4)),
              "Index format v3 doesn't match this build (v4).");
    EXPECT_EQ(IndexCoordinator::message(RebuildReason::missing()), "No index found.");
    EXPECT_EQ(IndexCoordinator::message(RebuildReason::truncated()), "Index file is incomplete.");
    EXPECT_EQ(IndexCoordinator::message(RebuildReason::badMagic()),
              "Index file is not a valid Ulmaro index.");
    EXPECT_EQ(IndexCoordinator::message(RebuildReason::tooManyVolumes()),
              "Index references more volumes than this build supports.");
    EXPECT_EQ(IndexLocation::defaultURL(), DataLocations::indexPath());
    EXPECT_EQ(bootVolumeUUID("/nonexistent/place"), "local");
}

} // namespace
} // namespace ulmaro
