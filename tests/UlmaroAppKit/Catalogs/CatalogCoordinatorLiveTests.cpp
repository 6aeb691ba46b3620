#include "CatalogCoordinatorFixture.h"
#include "UlmaroKit/Scanning/VolumeEnumerator.h"
#include "support/DeviceTree.h"
#include "support/WaitFor.h"

#include <algorithm>
#include <atomic>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using Coordinator = CatalogCoordinator;
using Kind = CatalogInfo::Kind;
using Signal = FileSystemWatcherSignal;

class CatalogLiveTest : public test::CatalogCoordinatorFixture {
protected:
    bool requested(const std::string& id) const {
        const auto ids = pendingIDs();
        return coordinator->isScanning(id) || std::find(ids.begin(), ids.end(), id) != ids.end();
    }
    std::vector<std::string> requestedIDs() const {
        std::vector<std::string> ids;
        if (coordinator->running()) ids.push_back(coordinator->running()->job.info.id);
        for (const auto& id : pendingIDs())
            ids.push_back(id);
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    void change(const test::CatalogCoordinatorFixture::FakeWatch& watch,
                std::optional<Signal> signal = std::nullopt) {
        watch.handler(signal ? *signal : Signal::changedPaths({watch.root + "/new.txt"}));
        mainQueue.drain();
    }
    /// Virtual seconds, a second at a time, until a rescan of `id` is asked for.
    int secondsUntilRescan(const std::string& id, int limit = 20000) {
        int waited = 0;
        while (!requested(id) && waited < limit) {
            clock.advance(Seconds(1));
            ++waited;
        }
        return waited;
    }
    /// A drive catalog "x" on drive A, watched by a fake watcher; the check's timer starts
    /// at 0 and fires every 15 s.
    std::shared_ptr<FakeWatch> watchedCatalog() {
        MountedVolume a = drive("A");
        CatalogInfo kept = info("x", "A");
        kept.lastCatalogued = clock.now();
        keep(kept);
        coordinator->makeWatcher = fakeWatchers();
        coordinator->startLiveUpdates();
        return watchOf(a.mountPath);
    }
};

TEST_F(CatalogLiveTest, StartUpRescansWhatIsStaleAndOffersNewDrives) {
    const auto now = clock.now();
    const auto daysAgo = [&](double seconds) {
        return std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            now -
            std::chrono::duration_cast<std::chrono::system_clock::duration>(Seconds(seconds)));
    };
    drive("A");
    drive("NEW");
    preferences.declineDrive("SKIPPED");
    drive("SKIPPED");
    struct Case {
        const char* id;
        std::string uuid;
        Kind kind;
        std::optional<CatalogInfo::Date> catalogued;
        bool marker;
        bool rescanned;
    };
    const Case cases[] = {
        {"fresh", "A", Kind::folder, daysAgo(86399), false, false},
        {"a-day-old", "A", Kind::drive, daysAgo(86400), false, true},
        {"interrupted", "A", Kind::folder, daysAgo(10), true, true},
        {"never", "A", Kind::folder, std::nullopt, false, true},
        {"file-list", "A", Kind::efu, daysAgo(900000), false, false},
        {"offline", "GONE", Kind::drive, daysAgo(900000), false, false},
    };
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        CatalogInfo kept = info(c.id, c.uuid, c.kind == Kind::folder ? c.id : "", c.kind);
        kept.lastCatalogued = c.catalogued;
        keep(kept);
        if (c.marker) std::ofstream(layout.markerURL(c.id)) << "";
        if (c.rescanned) expected.push_back(c.id);
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> offered;
    coordinator->onPromptForDrive = [&](const MountedVolume& v) { offered.push_back(v.uuid); };
    library.reloadAll(); // start() loads afresh

    coordinator->start();
    EXPECT_EQ(requestedIDs(), expected);
    EXPECT_EQ(offered, std::vector<std::string>{"NEW"});
    EXPECT_TRUE(coordinator->watchers().empty()) << "nothing is watched before live updates";
    EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST_F(CatalogLiveTest, AMountRescansACataloguedDriveAndOffersAnotherOne) {
    MountedVolume a = drive("A");
    CatalogInfo whole = info("whole", "A");
    whole.lastCatalogued = clock.now();
    keep(whole);
    CatalogInfo docs = info("docs", "A", "Docs", Kind::folder);
    docs.lastCatalogued = clock.now();
    keep(docs);
    MountedVolume other = drive("B");
    std::vector<std::string> offered;
    coordinator->onPromptForDrive = [&](const MountedVolume& v) { offered.push_back(v.uuid); };

    coordinator->handleMount(a);
    EXPECT_TRUE(requestedIDs().empty()) << "a drive just plugged in may be ejected at once";
    clock.advance(Coordinator::mountSettleDelay - Seconds(1));
    EXPECT_TRUE(requestedIDs().empty());
    clock.advance(Seconds(1));
    EXPECT_EQ(requestedIDs(), (std::vector<std::string>{"docs", "whole"}))
        << "every mount rescans, however recent";
    EXPECT_EQ(coordinator->mountRescansWaiting(), 0u);
    coordinator->handleMount(other);
    EXPECT_EQ(offered, std::vector<std::string>{"B"});
    coordinator->decline(other);
    coordinator->handleMount(other);
    EXPECT_EQ(offered, std::vector<std::string>{"B"});
}

// Plugged in and ejected again before it settled: the drive never meets a scan.
TEST_F(CatalogLiveTest, ADriveThatLeavesBeforeItSettlesIsNeverScanned) {
    MountedVolume a = drive("A");
    CatalogInfo whole = info("whole", "A");
    whole.lastCatalogued = clock.now();
    keep(whole);
    MountedVolume b = drive("B");
    CatalogInfo other = info("other", "B");
    other.lastCatalogued = clock.now();
    keep(other);

    coordinator->handleMount(a);
    coordinator->handleMount(b);
    clock.advance(Seconds(5));
    coordinator->handleWillUnmount(a.mountPath);
    mounted.erase(mounted.begin());
    coordinator->handleUnmount(a.mountPath);
    EXPECT_EQ(coordinator->mountRescansWaiting(), 1u);
    clock.advance(Seconds(60));
    EXPECT_EQ(requestedIDs(), std::vector<std::string>{"other"});
    EXPECT_TRUE(scans.empty() || scans.back().volumeUUID == "B");

    // Unplugged without a will-unmount (the table changed between two listings): the
    // unmount alone drops it too.
    coordinator->handleMount(b);
    mounted.clear();
    coordinator->handleUnmount(b.mountPath);
    EXPECT_EQ(coordinator->mountRescansWaiting(), 0u);
}

TEST_F(CatalogLiveTest, WatchersFollowTheOnlineRoots) {
    MountedVolume a = drive("A");
    keep(info("x", "A"));
    keep(info("docs", "A", "Docs", Kind::folder));
    keep(info("list", "A", "", Kind::efu));
    keep(info("offline", "GONE"));
    coordinator->makeWatcher = fakeWatchers();
    coordinator->startLiveUpdates();
    coordinator->startLiveUpdates();
    EXPECT_EQ(clock.activeTimers(), 1u);
    ASSERT_EQ(coordinator->watchers().size(), 2u);
    EXPECT_EQ(coordinator->watchers().at("x").root, a.mountPath);
    EXPECT_EQ(coordinator->watchers().at("docs").root, a.mountPath + "/Docs");
    EXPECT_EQ(watches.size(), 2u) << "a second start makes no second watcher";
    for (const auto& w : watches)
        EXPECT_TRUE(w->started);

    // Unplugged: stopped, and its changes forgotten; a late signal changes nothing.
    const auto watch = watchOf(a.mountPath);
    change(*watch);
    EXPECT_EQ(coordinator->changes().count("x"), 1u);
    mounted.clear();
    coordinator->handleUnmount(a.mountPath);
    EXPECT_TRUE(watch->stopped);
    EXPECT_TRUE(coordinator->watchers().empty());
    EXPECT_TRUE(coordinator->changes().empty());
    change(*watch);
    EXPECT_TRUE(coordinator->changes().empty());
    clock.advance(Seconds(7200));
    EXPECT_TRUE(scans.empty());

    // Back under another mount path: a new watcher there.
    MountedVolume moved = a;
    moved.mountPath = (dir / "elsewhere").string();
    fs::rename(a.mountPath, moved.mountPath);
    mounted = {moved};
    coordinator->handleMount(moved);
    EXPECT_EQ(coordinator->watchers().at("x").root, moved.mountPath);
    EXPECT_TRUE(watchOf(moved.mountPath)->started);
}

TEST_F(CatalogLiveTest, OnlyRelevantSignalsCount) {
    const auto watch = watchedCatalog();
    const std::string catalogs = layout.root().string();
    change(*watch, Signal::changedPaths({catalogs + "/x/index.bin", catalogs}));
    change(*watch, Signal::changedPaths({watch->root + "/node_modules/a/b.js"}));
    change(*watch, Signal::historyDone());
    EXPECT_TRUE(coordinator->changes().empty());

    clock.advance(Seconds(3));
    change(*watch, Signal::mustFullRescan());
    const auto first = clock.now();
    clock.advance(Seconds(4));
    change(*watch);
    EXPECT_EQ(coordinator->changes().at("x"), (Coordinator::Change{clock.now(), first}));
}

TEST_F(CatalogLiveTest, ABurstIsRescannedOnceItHasBeenQuietForAMinute) {
    const auto watch = watchedCatalog();
    clock.advance(Seconds(7));
    for (int i = 0; i < 3; ++i) {
        change(*watch);
        clock.advance(Seconds(4));
    }
    const int waited = secondsUntilRescan("x") + 4; // since the last change
    EXPECT_GE(waited, 60);
    EXPECT_LE(waited, 75);
    EXPECT_TRUE(coordinator->changes().empty());
    EXPECT_EQ(coordinator->lastAutoRescan().at("x"), clock.now());
    runScan();
    clock.advance(Seconds(3600));
    EXPECT_EQ(scans.size(), 1u) << "one rescan per burst";
}

TEST_F(CatalogLiveTest, SteadyChangesAreRescannedAfterTwoHours) {
    const auto watch = watchedCatalog();
    int elapsed = 0;
    while (!requested("x") && elapsed < 8000) {
        change(*watch);
        clock.advance(Seconds(5));
        elapsed += 5;
    }
    EXPECT_GE(elapsed, 7200);
    EXPECT_LE(elapsed, 7215);
}

TEST_F(CatalogLiveTest, NoAutomaticRescanWithinTenMinutesOfTheLast) {
    const auto watch = watchedCatalog();
    change(*watch);
    secondsUntilRescan("x");
    runScan();
    const auto previous = coordinator->lastAutoRescan().at("x");
    clock.advance(Seconds(100));
    change(*watch);
    secondsUntilRescan("x");
    const double sincePrevious = Seconds(clock.now() - previous).count();
    EXPECT_GE(sincePrevious, 600);
    EXPECT_LE(sincePrevious, 615);
}

// Drives come and go through the real VolumeEvents and VolumeWatcher, listed from a fixture
// mount table and device tree.
TEST_F(CatalogLiveTest, UnpluggingAndPluggingADriveThroughItsEvents) {
    const test::DeviceTree devices({
        {"sdb1", "8:17", "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdb/sdb1", true,
         true, "USB-UUID", "Stick"},
        {"sdc1", "8:33", "pci0000:00/0000:00:1f.2/ata3/host2/block/sdc/sdc1", true, false,
         "OTHER-UUID", "Other"},
    });
    const fs::path stick = dir / "media/Stick";
    const fs::path otherPath = dir / "media/Other";
    fs::create_directories(stick / "Docs");
    fs::create_directories(stick / "Photos");
    fs::create_directories(otherPath);
    const fs::path table = dir / "mountinfo";
    auto writeTable = [&](bool withStick) {
        std::ofstream out(table);
        if (withStick)
            out << "40 1 8:17 / " << stick.string() << " rw,relatime - ext4 /dev/sdb1 rw\n";
        out << "41 1 8:33 / " << otherPath.string() << " rw,relatime - ext4 /dev/sdc1 rw\n";
    };
    VolumeSources sources;
    sources.mountTable = table;
    sources.deviceRoot = devices.dev();
    sources.sysRoot = devices.sys();
    VolumeEvents events(
        mainQueue, [sources] { return VolumeEnumerator::mountedVolumes(sources); },
        VolumeEvents::Options{"", {}});
    writeTable(true);
    events.start();
    ASSERT_EQ(events.volumes().size(), 2u);
    mounted = events.volumes();
    library.updateMounted(mounted);
    keep(info("stick", "USB-UUID", "Docs", Kind::folder));
    keep(info("the-other", "OTHER-UUID"));

    volumeEvents = &events;
    coordinator = make();
    std::vector<std::string> unmounted;
    coordinator->onVolumeUnmounted = [&](const std::string& path) { unmounted.push_back(path); };
    coordinator->start(); // both never catalogued: both rescanned, "stick" first
    coordinator->startWatchingVolumes();
    coordinator->startWatchingVolumes();
    ASSERT_TRUE(coordinator->isScanning("stick"));
    const std::string added = startedID(coordinator->addFolder((stick / "Photos").string()));
    EXPECT_EQ(pendingIDs(), (std::vector<std::string>{"the-other", added}));
    const auto flag = coordinator->running()->flag;

    writeTable(false);
    events.apply(VolumeEnumerator::mountedVolumes(sources));
    EXPECT_TRUE(flag->isCancelled()) << "at once, while the drive is still listed";
    EXPECT_EQ(pendingIDs(), std::vector<std::string>{"the-other"});
    EXPECT_TRUE(coordinator->pendingNew().empty());
    mainQueue.drain();
    EXPECT_EQ(unmounted, std::vector<std::string>{stick.string()});
    EXPECT_FALSE(library.entry("stick")->isOnline());

    runScan(); // the cancelled scan ends; the other drive's job follows
    EXPECT_TRUE(coordinator->isScanning("the-other"));
    EXPECT_FALSE(fs::exists(layout.markerURL("stick")));
    EXPECT_TRUE(coordinator->lastErrors().empty());
    runAll();

    writeTable(true);
    events.apply(VolumeEnumerator::mountedVolumes(sources));
    mainQueue.drain();
    clock.advance(Coordinator::mountSettleDelay);
    EXPECT_EQ(requestedIDs(), std::vector<std::string>{"stick"});
    EXPECT_TRUE(library.entry("stick")->isOnline());
    coordinator.reset(); // before the events it follows
}

// The default maker: the core's watcher over a real folder catalog, in real time, with
// the check in virtual time.
TEST_F(CatalogLiveTest, TheRealWatcherLeadsToOneRescanAfterAQuietMinute) {
    MountedVolume a = drive("A");
    fs::create_directories(fs::path(a.mountPath) / "Folder");
    CatalogInfo kept = info("folder", "A", "Folder", Kind::folder);
    kept.lastCatalogued = clock.now();
    keep(kept);
    std::atomic<bool> watching{false};
    const auto real = coordinator->defaultWatcherMaker();
    coordinator->makeWatcher = [&](const std::string& root, CatalogWatching::Handler handler) {
        return real(root, [&watching, handler](const Signal& signal) {
            if (signal.kind() == Signal::Kind::historyDone) watching = true;
            handler(signal);
        });
    };
    coordinator->startLiveUpdates();
    ASSERT_TRUE(test::waitFor([&] { return watching.load(); }));
    mainQueue.drain();
    clock.advance(Seconds(120));
    EXPECT_TRUE(coordinator->changes().empty());
    EXPECT_FALSE(requested("folder")) << "starting replays nothing";

    std::ofstream(fs::path(a.mountPath) / "Folder/new.txt") << "hello";
    ASSERT_TRUE(test::waitFor([&] {
        mainQueue.drain();
        return coordinator->changes().count("folder") > 0;
    }));
    clock.advance(Seconds(59));
    EXPECT_FALSE(requested("folder"));
    EXPECT_LE(secondsUntilRescan("folder", 60), 15) << "at the next check";
    EXPECT_TRUE(coordinator->isScanning("folder"));
    coordinator.reset(); // stops the watcher before the folder goes
}

TEST(CatalogWatchingShare, TheCatalogsShareHalfTheUsersWatches) {
    struct Case {
        std::size_t roots;
        std::size_t budget;
        std::size_t share;
    };
    const Case cases[] = {{0, 8192, 4096}, {1, 8192, 4096}, {3, 8192, 1365}, {9000, 8192, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(CatalogWatching::watchShare(c.roots, c.budget), c.share) << c.roots;
    EXPECT_GT(CatalogWatching::userWatchBudget(), 0u);
}

} // namespace
} // namespace ulmaro
