#include "CoordinatorHarness.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Indexing/WatchCheckpointStore.h"
#include "UlmaroKit/Scanning/FileSystemWatcher.h"
#include "support/WaitFor.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;
using Signal = FileSystemWatcherSignal;
using ::testing::ElementsAre;

TEST(IndexCoordinatorNoise, HighChurnFragmentsMatchAnywhereWithBothSlashes) {
    struct Case {
        const char* path;
        bool noise;
    };
    const Case cases[] = {
        {"/home/a/project/node_modules/x.js", true},
        {"/home/a/Library/Caches/app/blob", true},
        {"/home/a/Caches.txt", false},
        {"/home/a/Caches", false},
        {"/home/a/caches/x", false}, // case-sensitive
        {"/home/a/src/.git/objects/ab/cd", true},
        {"/home/a/src/.gitignore", false},
        {"/home/a/.cache/fontconfig/x", true},
        {"/home/a/.cache", false},
        {"/home/a/.local/share/Trash/files/old.txt", true},
        {"/media/usb/.Trash-1000/files/old.txt", true},
        {"/home/a/py/__pycache__/m.pyc", true},
        {"/home/a/ios/Pods/Lib/a.h", true},
        {"/home/a/web/.next/cache/x", true},
        {"/home/a/.venv/lib/x.py", true},
        {"/home/a/.gradle/caches/x", true},
        {"/home/a/DerivedData/x", true},
        {"/home/a/Documents/report.pdf", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IndexCoordinator::isHighChurnNoise(c.path), c.noise) << c.path;
    }
}

TEST(IndexCoordinatorWatch, TheFilterDropsWhatNoScanWouldHold) {
    const ScanPolicy policy({"/home/a/private", "/home/a/Music"});
    const std::string own = "/var/data/Ulmaro";
    const std::string catalogs = "/var/data/Ulmaro/Catalogs";
    struct Case {
        const char* path;
        bool passes;
    };
    const Case cases[] = {
        // The coordinator's own files, in its folder only.
        {"/var/data/Ulmaro/index.bin", false},
        {"/var/data/Ulmaro/index.bin.inprogress", false},
        {"/var/data/Ulmaro/index.bin.tmp.a1b2c3", false},
        {"/var/data/Ulmaro/delta.bin", false},
        {"/var/data/Ulmaro/content.bin", false},
        {"/var/data/Ulmaro/watch-checkpoint.json", false},
        {"/var/data/Ulmaro/instance.lock", false},
        {"/var/data/Ulmaro/notes.txt", true},
        {"/home/a/delta.bin", true},
        {"/private/var/data/Ulmaro/index.bin", false}, // compared without "/private"
        // The catalogs' folder and what it holds.
        {"/var/data/Ulmaro/Catalogs", false},
        {"/var/data/Ulmaro/Catalogs/x/index.bin", false},
        {"/private/var/data/Ulmaro/Catalogs/x", false},
        {"/var/data/Ulmaro/CatalogsOld", true},
        // Noise.
        {"/home/a/web/node_modules/x.js", false},
        {"/home/a/Caches.txt", true},
        // Excluded folders, with everything inside them, and the name rules.
        {"/home/a/private", false},
        {"/home/a/private/diary.txt", false},
        {"/home/a/private/deep/er.txt", false},
        {"/home/a/privately.txt", true},
        {"/home/a/old.noindex/x.txt", false},
        {"/media/Backups.backupdb/x", false},
    };
    std::vector<std::string> all;
    std::vector<std::string> passing;
    for (const Case& c : cases) {
        auto out = IndexCoordinator::signalForMainActor(Signal::changedPaths({c.path}), policy, own,
                                                        "index.bin", catalogs);
        EXPECT_EQ(out.has_value(), c.passes) << c.path;
        all.push_back(c.path);
        if (c.passes) passing.push_back(c.path);
    }
    // A batch keeps the passing paths, in order and as delivered.
    all.push_back("/private/tmp/kept");
    passing.push_back("/private/tmp/kept");
    EXPECT_EQ(IndexCoordinator::signalForMainActor(Signal::changedPaths(all), policy, own,
                                                   "index.bin", catalogs),
              Signal::changedPaths(passing));
    EXPECT_EQ(IndexCoordinator::signalForMainActor(Signal::changedPaths({}), policy, own,
                                                   "index.bin", catalogs),
              std::nullopt);
    for (const Signal& other : {Signal::mustFullRescan(), Signal::historyDone()})
        EXPECT_EQ(IndexCoordinator::signalForMainActor(other, policy, own, "index.bin", catalogs),
                  other);

    // What needs no watch: folders whose inside the filter drops whole.
    EXPECT_TRUE(
        IndexCoordinator::dropsEverythingInside("/home/a/web/node_modules", policy, catalogs));
    EXPECT_TRUE(IndexCoordinator::dropsEverythingInside("/home/a/.cache", policy, catalogs));
    EXPECT_TRUE(IndexCoordinator::dropsEverythingInside("/home/a/private", policy, catalogs));
    EXPECT_TRUE(IndexCoordinator::dropsEverythingInside(catalogs, policy, catalogs));
    EXPECT_FALSE(IndexCoordinator::dropsEverythingInside("/home/a/web", policy, catalogs));
    EXPECT_FALSE(IndexCoordinator::dropsEverythingInside(own, policy, catalogs));
}

// A watched coordinator over a built index; every documents callback recorded.
struct Watched : Harness {
    std::vector<std::vector<std::string>> documents;

    Watched() {
        buildIndex();
        coordinator->onDocumentsChanged = [this](const std::vector<std::string>& paths) {
            documents.push_back(paths);
        };
    }

    /// A real path of the tree, so that the delta keeps it.
    std::string fresh(const char* name) {
        touch(root / name);
        return (root / name).string();
    }
    void deliver(const Signal& signal) {
        watchers.push(signal);
        main.drain();
    }
    /// Moves virtual time on by whole ticks of the 15-second check, running what they start.
    void wait(double seconds) {
        clock.advance(Seconds(seconds));
        main.drain();
    }
    bool scanQueued() { return scanQueue().pending() > 0; }
};

TEST(IndexCoordinatorWatch, ChangesReachTheDeltaAndTheDocumentsCallback) {
    Watched h;
    ASSERT_TRUE(h.coordinator->isWatching());
    const auto& request = h.watchers.latest().request;
    EXPECT_EQ(request.root, h.scanRoot);
    EXPECT_EQ(request.latency, IndexCoordinator::watchLatency);
    EXPECT_TRUE(h.watchers.latest().started);

    const double delay = IndexCoordinator::deltaRebuildDelay;
    const std::string a = h.fresh("a.txt");
    const std::string b = h.fresh("b.txt");
    h.deliver(Signal::changedPaths({a}));
    h.wait(delay / 2);
    h.deliver(Signal::changedPaths({b}));
    EXPECT_THAT(h.documents, ElementsAre(ElementsAre(a), ElementsAre(b)));
    EXPECT_EQ(h.coordinator->liveDelta().changed().size(), 2u);

    // One rebuild for both, the delay after the first batch; its finish is published.
    h.updates.clear();
    h.wait(delay / 4);
    EXPECT_EQ(h.coordinator->liveDelta().store(), nullptr);
    h.wait(delay / 4);
    h.settle();
    ASSERT_NE(h.coordinator->liveDelta().store(), nullptr);
    EXPECT_TRUE(hasPath(*h.coordinator->liveDelta().store(), "a.txt"));
    EXPECT_TRUE(hasPath(*h.coordinator->liveDelta().store(), "b.txt"));
    EXPECT_EQ(h.updates.size(), 1u);

    // A batch dropped whole notes no change: no rescan follows, however long the quiet.
    Watched quiet;
    quiet.deliver(Signal::changedPaths({(quiet.root / "node_modules" / "x.js").string()}));
    EXPECT_TRUE(quiet.documents.empty());
    quiet.wait(3600);
    EXPECT_FALSE(quiet.scanQueued());
}

TEST(IndexCoordinatorWatch, AutomaticRescansFollowQuietWaitingAndTheFloor) {
    Watched h;
    // The first change comes a second into the watch: at the 60 s tick it is 59 s old.
    h.wait(1);
    h.deliver(Signal::changedPaths({h.fresh("a.txt")}));
    h.wait(59);
    EXPECT_FALSE(h.scanQueued());
    h.wait(15); // 74 s of quiet
    ASSERT_TRUE(h.scanQueued());
    EXPECT_TRUE(std::holds_alternative<Refreshing>(h.coordinator->state()));

    // While the scan runs the check does nothing and keeps what it knows.
    h.deliver(Signal::mustFullRescan());
    h.wait(600);
    EXPECT_EQ(h.scanQueue().pending(), 1u);
    h.runScan();
    h.settle();
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
    // The change that came during the scan waited through it; the floor has passed since.
    h.wait(15);
    EXPECT_TRUE(h.scanQueued());
    h.runScan();
    h.settle();

    // Within 600 s of that rescan, quiet changes wait.
    h.deliver(Signal::changedPaths({h.fresh("b.txt")}));
    h.wait(120);
    EXPECT_FALSE(h.scanQueued());
    h.wait(480);
    EXPECT_TRUE(h.scanQueued());
    h.runScan();
    h.settle();

    // Changes that never stop are rescanned after 7200 s of waiting.
    h.wait(600);
    for (int i = 0; i < 7200 / 10; ++i) {
        h.deliver(Signal::mustFullRescan());
        h.wait(10);
        if (h.scanQueued()) break;
    }
    EXPECT_TRUE(h.scanQueued());
}

TEST(IndexCoordinatorWatch, StoppedWatchingWaitsForStart) {
    Watched h;
    h.deliver(Signal::changedPaths({h.fresh("a.txt")}));
    const std::size_t timersWatching = h.clock.activeTimers();
    h.coordinator->stopWatching();
    EXPECT_FALSE(h.coordinator->isWatching());
    EXPECT_TRUE(h.watchers.latest().stopped);
    EXPECT_LT(h.clock.activeTimers(), timersWatching);
    h.wait(3600);
    EXPECT_FALSE(h.scanQueued());

    h.coordinator->startWatchingIfNeeded();
    EXPECT_EQ(h.watchers.made().size(), 1u);
    h.coordinator->start();
    h.settle();
    EXPECT_EQ(h.watchers.made().size(), 2u);
    EXPECT_TRUE(h.watchers.latest().started);
}

TEST(IndexCoordinatorWatch, ResumesFromACheckpointOfTheSameDevice) {
    const auto uuid = FileSystemWatcher::deviceUUID(Harness().scanRoot);
    ASSERT_TRUE(uuid);
    struct Case {
        std::string device;
        bool resumes;
    };
    for (const Case& c : {Case{*uuid, true}, Case{"another-disk", false}}) {
        Harness run;
        run.buildIndex();
        run.coordinator->stopWatching();
        WatchCheckpointStore::save({42, c.device}, WatchCheckpointStore::defaultURL(run.indexPath));
        const std::uint64_t before = FileSystemWatcher::currentEventID();
        run.coordinator->start();
        const auto& request = run.watchers.latest().request;
        // Another disk's checkpoint is none: the index's own scan start is where it may miss
        // changes from.
        const std::uint64_t scanStart = run.coordinator->store()->header().volumes[0].lastEventID;
        EXPECT_GT(scanStart, 0u);
        EXPECT_LE(scanStart, before);
        EXPECT_EQ(request.sinceEventID, c.resumes ? 42u : scanStart);
        // The replay is told from the served index: it has nothing to add here.
        std::atomic<bool> cancel{false};
        auto replayed = request.options.replay(FileSystemWatcher::currentEventID(), cancel);
        ASSERT_TRUE(replayed);
        EXPECT_TRUE(replayed->empty());
    }
}

// Event IDs are wall-clock times. A checkpoint that is missing, damaged or ahead of the clock
// (a clock that ran ahead) says nothing: watching resumes from the index's own scan start,
// and the bad ID is never written back.
TEST(IndexCoordinatorWatch, WithoutASaneCheckpointWatchingResumesFromTheIndexsScanStart) {
    const std::uint64_t aDay = 86'400'000'000'000;
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&, const std::string& uuid)> write;
    };
    const Case cases[] = {
        {"missing", [](const std::filesystem::path&, const std::string&) {}},
        {"damaged", [](const std::filesystem::path& file,
                       const std::string&) { std::ofstream(file) << "{\"eventID\": 12"; }},
        {"ahead of the clock",
         [&](const std::filesystem::path& file, const std::string& uuid) {
             WatchCheckpointStore::save({FileSystemWatcher::currentEventID() + aDay, uuid}, file);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.buildIndex();
        const std::uint64_t scanStart = h.coordinator->store()->header().volumes[0].lastEventID;
        ASSERT_GT(scanStart, 0u);
        EXPECT_EQ(h.watchers.latest().request.sinceEventID, scanStart);

        h.coordinator->stopWatching();
        const auto file = WatchCheckpointStore::defaultURL(h.indexPath);
        std::filesystem::remove(file);
        c.write(file, *FileSystemWatcher::deviceUUID(h.scanRoot));
        h.coordinator->start();
        h.settle();
        EXPECT_EQ(h.watchers.latest().request.sinceEventID, scanStart);
        h.coordinator->checkpointWatchState();
        ASSERT_TRUE(WatchCheckpointStore::load(file));
        EXPECT_LE(WatchCheckpointStore::load(file)->eventID, FileSystemWatcher::currentEventID());
    }
}

// A rescan the disk-space guard refuses has not happened: its changes still wait, and the
// checkpoint stays where the index may miss them from, until a rescan really starts.
TEST(IndexCoordinatorWatch, ARefusedAutomaticRescanKeepsItsChangesAndTheCheckpoint) {
    Watched h;
    const auto file = WatchCheckpointStore::defaultURL(h.indexPath);
    const std::uint64_t scanStart = h.coordinator->store()->header().volumes[0].lastEventID;
    h.free = 1024; // the disk filled up meanwhile
    h.deliver(Signal::mustFullRescan());
    h.wait(75);
    EXPECT_FALSE(h.scanQueued());
    EXPECT_TRUE(h.coordinator->scanBlockedReason());
    EXPECT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
    EXPECT_FALSE(WatchCheckpointStore::load(file)) << "the checkpoint moved for a refused rescan";

    // Quit now: the next run must still catch up from the index's scan start.
    h.coordinator->checkpointWatchState();
    ASSERT_TRUE(WatchCheckpointStore::load(file));
    EXPECT_EQ(WatchCheckpointStore::load(file)->eventID, scanStart);

    // Space again: the rescan still owed starts once the floor has passed. Until it has
    // replaced "index.bin", the checkpoint still holds where that index may miss changes.
    h.free = std::int64_t(1) << 40;
    h.wait(600);
    EXPECT_TRUE(h.scanQueued());
    EXPECT_FALSE(h.coordinator->scanBlockedReason());
    EXPECT_EQ(WatchCheckpointStore::load(file)->eventID, scanStart);
}

// What the checkpoint holds: where watching stands, unless changes live only in the delta
// (or wait for a rescan); then where "index.bin" may miss changes from.
TEST(IndexCoordinatorWatch, TheCheckpointNeverSkipsChangesHeldOnlyInTheDelta) {
    Watched h;
    const auto file = WatchCheckpointStore::defaultURL(h.indexPath);
    const std::uint64_t afterBuild = FileSystemWatcher::currentEventID();

    h.deliver(Signal::historyDone()); // the fake's IDs are small counts
    h.coordinator->checkpointWatchState();
    ASSERT_TRUE(WatchCheckpointStore::load(file));
    EXPECT_EQ(WatchCheckpointStore::load(file)->eventID, h.watchers.latest().lastKnownEventID);
    EXPECT_EQ(WatchCheckpointStore::load(file)->deviceUUID,
              *FileSystemWatcher::deviceUUID(h.scanRoot));

    h.deliver(Signal::changedPaths({h.fresh("a.txt")}));
    h.coordinator->checkpointWatchState();
    const std::uint64_t saved = WatchCheckpointStore::load(file)->eventID;
    EXPECT_GT(saved, h.watchers.latest().lastKnownEventID);
    EXPECT_LE(saved, afterBuild); // no later than the build's scan began

    // A restart resumes from there; while its catch-up sits in the delta, the checkpoint
    // stays on that ID.
    h.coordinator.reset();
    h.make();
    h.coordinator->start();
    h.settle();
    EXPECT_EQ(h.watchers.latest().request.sinceEventID, saved);
    h.deliver(Signal::changedPaths({(h.root / "a.txt").string()}));
    h.coordinator->checkpointWatchState();
    EXPECT_EQ(WatchCheckpointStore::load(file)->eventID, saved);
}

// As a user sees it: quit, change files, start again; the changes are found within seconds,
// from the catch-up alone, with no full rescan.
TEST(IndexCoordinatorWatch, ChangesMadeWhileQuitAreCaughtUpWithoutARescan) {
    Harness h;
    h.realWatchers = true;
    h.make();
    h.buildIndex();
    h.coordinator->checkpointWatchState();
    h.coordinator.reset(); // quit

    std::filesystem::remove(h.root / "alpha.txt");
    touch(h.root / "docs" / "gamma" / "new.txt");

    h.make();
    h.coordinator->start();
    h.settle();
    EXPECT_FALSE(h.coordinator->isScanning());
    const std::string added = (h.root / "docs" / "gamma" / "new.txt").string();
    const std::string gone = (h.root / "alpha.txt").string();
    ASSERT_TRUE(waitFor([&] {
        h.main.drain();
        const auto& delta = h.coordinator->liveDelta();
        return delta.changed().contains(added) && delta.tombstones().contains(gone);
    }));
    h.clock.advance(Seconds(IndexCoordinator::deltaRebuildDelay));
    h.settle();
    ASSERT_NE(h.coordinator->liveDelta().store(), nullptr);
    EXPECT_TRUE(hasPath(*h.coordinator->liveDelta().store(), "new.txt"));
    EXPECT_FALSE(h.coordinator->isScanning());
    EXPECT_EQ(h.scanQueue().pending(), 0u);
}

} // namespace
} // namespace ulmaro
