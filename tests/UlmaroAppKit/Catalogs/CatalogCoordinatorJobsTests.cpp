#include "CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Indexing/ResourceGuard.h"

#include <cerrno>
#include <system_error>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using Coordinator = CatalogCoordinator;
using Kind = CatalogInfo::Kind;

class CatalogJobsTest : public test::CatalogCoordinatorFixture {
protected:
    std::exception_ptr ioError() {
        return std::make_exception_ptr(std::system_error(EIO, std::generic_category(), "read"));
    }
};

TEST_F(CatalogJobsTest, AScanReportsProgressAndWritesTheCatalog) {
    MountedVolume a = drive("A", 5000);
    fs::create_directories(fs::path(a.mountPath) / "Work");
    std::vector<Coordinator::Activity> seen;
    auto watch = coordinator->observeActivity([&](const auto& now) { seen.push_back(now); });
    script.progress = {5, 9};
    space = {4000, 1500};

    const std::string id = startedID(coordinator->addFolder(a.mountPath + "/Work"));
    EXPECT_TRUE(coordinator->isScanning(id));
    EXPECT_TRUE(exists(layout.markerURL(id))) << "the marker stands while the scan runs";
    ASSERT_EQ(freeSpaceAsked, std::vector<fs::path>{layout.directory(id)});
    clock.advance(Seconds(30));
    runScan();

    using Scanning = Coordinator::Scanning;
    EXPECT_EQ(seen,
              (std::vector<Coordinator::Activity>{Scanning{id, "Work", 0}, Scanning{id, "Work", 5},
                                                  Scanning{id, "Work", 9}, Coordinator::Idle{}}));
    ASSERT_EQ(scans.size(), 1u);
    EXPECT_EQ(scans[0].root, a.mountPath + "/Work");
    EXPECT_EQ(scans[0].volumeUUID, "A");
    EXPECT_EQ(scans[0].index, Coordinator::stagingURL(layout, id));

    const CatalogEntry* entry = library.entry(id);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->store);
    EXPECT_EQ(entry->info.fileCount, 2);
    EXPECT_EQ(entry->info.folderCount, 1);
    EXPECT_EQ(entry->info.totalBytes, 42u);
    EXPECT_EQ(entry->info.rootRecordID, 2u);
    EXPECT_EQ(entry->info.capacityBytes, 4000);
    EXPECT_EQ(entry->info.freeBytes, 1500);
    const auto now = std::chrono::time_point_cast<std::chrono::seconds>(clock.now());
    EXPECT_EQ(entry->info.lastCatalogued, now);
    EXPECT_EQ(entry->info.lastConnected, now);
    EXPECT_FALSE(exists(layout.markerURL(id)));
    EXPECT_FALSE(exists(Coordinator::stagingURL(layout, id)));
    EXPECT_TRUE(coordinator->pendingNew().empty());
    EXPECT_TRUE(coordinator->lastErrors().empty());

    seen.clear();
    keptProgress(77); // a report that comes after its job finished
    mainQueue.drain();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(coordinator->activity(), Coordinator::Activity(Coordinator::Idle{}));
}

TEST_F(CatalogJobsTest, CapacityFallsBackFromTheMeasureToTheVolumeToThePreviousValue) {
    struct Case {
        const char* what;
        Coordinator::Space space;
        std::optional<std::int64_t> volumeTotal;
        std::optional<std::int64_t> capacity;
        std::optional<std::int64_t> free;
    };
    const Case cases[] = {
        {"measured", {4000, 1500}, 5000, 4000, 1500},
        {"the volume's total", {std::nullopt, 1500}, 5000, 5000, 1500},
        {"the previous value", {}, std::nullopt, 7, std::nullopt},
    };
    for (const auto& c : cases) {
        mounted.clear();
        drive("A", c.volumeTotal);
        CatalogInfo kept = info("cat", "A");
        kept.capacityBytes = 7;
        kept.freeBytes = 99;
        keep(kept);
        space = c.space;
        coordinator->rescan("cat");
        runScan();
        ASSERT_NE(library.entry("cat"), nullptr) << c.what;
        EXPECT_EQ(library.entry("cat")->info.capacityBytes, c.capacity) << c.what;
        EXPECT_EQ(library.entry("cat")->info.freeBytes, c.free) << c.what;
    }
}

TEST_F(CatalogJobsTest, ForgettingQueuedAndRunningCatalogs) {
    MountedVolume a = drive("A");
    drive("B");
    keep(info("kept", "B"));
    fs::create_directories(fs::path(a.mountPath) / "New");
    fs::create_directories(fs::path(a.mountPath) / "Queued");

    // A queued new catalog leaves the queue without touching the Trash.
    const std::string running = startedID(coordinator->addFolder(a.mountPath + "/New"));
    const std::string queued = startedID(coordinator->addFolder(a.mountPath + "/Queued"));
    EXPECT_TRUE(coordinator->forget(queued));
    EXPECT_TRUE(coordinator->pending().empty());
    EXPECT_EQ(coordinator->pendingNew().size(), 1u);

    // The running new one is cancelled; its folder goes when the scan returns.
    EXPECT_TRUE(coordinator->forget(running));
    EXPECT_TRUE(coordinator->pendingNew().empty());
    EXPECT_EQ(coordinator->forgotten(), std::set<std::string>{running});
    EXPECT_TRUE(exists(layout.directory(running)));
    runScan();
    EXPECT_FALSE(exists(layout.directory(running)));
    EXPECT_TRUE(coordinator->forgotten().empty());
    EXPECT_TRUE(trashed.empty());
    EXPECT_EQ(library.entry(running), nullptr);

    // A kept one being rescanned is cancelled first; once the scan has stopped, what it
    // left is cleared and the folder goes to the Trash with only the catalog's own files.
    coordinator->rescan("kept");
    std::ofstream(Coordinator::stagingURL(layout, "kept")) << "half written by the scan";
    EXPECT_TRUE(coordinator->forget("kept"));
    EXPECT_TRUE(coordinator->running()->flag->isCancelled());
    EXPECT_TRUE(trashed.empty()) << "nothing goes while the scan may still write";
    runScan();
    EXPECT_EQ(trashed, std::vector<fs::path>{layout.directory("kept")});
    EXPECT_EQ(trashedNames, (std::vector<std::set<std::string>>{{"index.bin", "info.json"}}));
    EXPECT_EQ(library.entry("kept"), nullptr);
    EXPECT_FALSE(exists(layout.directory("kept")));
    EXPECT_TRUE(coordinator->lastErrors().empty());
    EXPECT_FALSE(coordinator->notice());
}

TEST_F(CatalogJobsTest, WhenTheTrashRefusesTheRunningScanIsStillCancelled) {
    drive("A");
    keep(info("kept", "A"));
    const std::string before = read(layout.infoURL("kept"));
    trashWorks = false;
    script.ignoreCancel = true; // the walk ends as the flag is set: still nothing is written

    coordinator->rescan("kept");
    const auto flag = coordinator->running()->flag;
    EXPECT_TRUE(coordinator->forget("kept")) << "the Trash is asked once the scan stopped";
    EXPECT_TRUE(flag->isCancelled());
    runScan();
    EXPECT_TRUE(coordinator->forgotten().empty());
    EXPECT_NE(library.entry("kept"), nullptr);
    EXPECT_EQ(read(layout.infoURL("kept")), before);
    EXPECT_FALSE(exists(layout.markerURL("kept")));
    EXPECT_FALSE(exists(Coordinator::stagingURL(layout, "kept")));
    EXPECT_TRUE(coordinator->lastErrors().empty()) << "a cancelled job records no error";
    EXPECT_EQ(coordinator->notice(), "Couldn\u2019t move the catalog to the Trash.");
    EXPECT_FALSE(coordinator->forget("kept")) << "not scanning: the Trash answers at once";

    trashWorks = true;
    EXPECT_TRUE(coordinator->forget("kept"));
    EXPECT_FALSE(exists(layout.directory("kept")));
}

TEST_F(CatalogJobsTest, AScanThatThrowsIsReported) {
    MountedVolume a = drive("A");
    drive("B");
    keep(info("kept", "B"));
    const std::string infoBytes = read(layout.infoURL("kept"));
    const std::string indexBytes = read(layout.indexURL("kept"));
    fs::create_directories(fs::path(a.mountPath) / "Photos");
    const std::string failed = "Couldn\u2019t save the catalog: Input/output error";
    script.error = ioError();

    // A new catalog leaves no folder and a notice.
    const std::string id = startedID(coordinator->addFolder(a.mountPath + "/Photos"));
    runScan();
    EXPECT_FALSE(exists(layout.directory(id)));
    EXPECT_EQ(coordinator->lastErrors().at(id), failed);
    EXPECT_EQ(coordinator->notice(), "Photos: " + failed);
    EXPECT_TRUE(coordinator->pendingNew().empty());
    coordinator->clearNotice();
    EXPECT_EQ(coordinator->notice(), std::nullopt);

    // A kept catalog keeps its files and its marker; the next success clears the error.
    coordinator->rescan("kept");
    runScan();
    EXPECT_EQ(coordinator->lastErrors().at("kept"), failed);
    EXPECT_EQ(read(layout.infoURL("kept")), infoBytes);
    EXPECT_EQ(read(layout.indexURL("kept")), indexBytes);
    EXPECT_TRUE(exists(layout.markerURL("kept")));
    EXPECT_FALSE(exists(Coordinator::stagingURL(layout, "kept")));
    EXPECT_FALSE(coordinator->notice()) << "only new catalogs raise a notice";

    script.error = nullptr;
    coordinator->rescan("kept");
    runScan();
    EXPECT_EQ(coordinator->lastErrors().count("kept"), 0u);
    EXPECT_FALSE(exists(layout.markerURL("kept")));
}

// A drive unplugged as its scan ends fails the root's identity check ("No such device"). Its
// volume has left the kernel's mount table: the scan reads as cancelled, not failed.
TEST_F(CatalogJobsTest, AScanWhoseDriveLeftTheMountTableIsCancelledNotFailed) {
    MountedVolume a = drive("A");
    MountedVolume b = drive("B");
    keep(info("kept", "A"));
    const std::string before = read(layout.infoURL("kept"));
    fs::create_directories(fs::path(b.mountPath) / "New");
    script.error =
        std::make_exception_ptr(std::system_error(ENODEV, std::generic_category(), a.mountPath));
    unplugged = {a.mountPath, b.mountPath};

    coordinator->rescan("kept");
    const std::string added = startedID(coordinator->addFolder(b.mountPath + "/New"));
    runAll();
    EXPECT_TRUE(coordinator->lastErrors().empty());
    EXPECT_FALSE(coordinator->notice());
    EXPECT_EQ(read(layout.infoURL("kept")), before);
    EXPECT_FALSE(exists(layout.markerURL("kept")));
    EXPECT_FALSE(exists(layout.directory(added)));
    EXPECT_TRUE(coordinator->pendingNew().empty());

    // Still mounted, the same error is a failure.
    unplugged.clear();
    coordinator->rescan("kept");
    runAll();
    EXPECT_EQ(coordinator->lastErrors().at("kept"),
              "Couldn\u2019t save the catalog: No such device");
}

TEST_F(CatalogJobsTest, AFailedInfoWriteLeavesTheOldPairWhole) {
    MountedVolume a = drive("A");
    keep(info("kept", "A"));
    const std::string oldInfo = read(layout.infoURL("kept"));
    const std::string oldIndex = read(layout.indexURL("kept"));
    // The drive comes back under a name JSON cannot hold, so "info.json" cannot be written.
    mounted.clear();
    MountedVolume renamed = a;
    renamed.mountPath = (dir / "drives/\xff").string();
    fs::create_directories(renamed.mountPath);
    mounted.push_back(renamed);
    library.updateMounted(mounted);
    script.names = {"new.txt", "newer.txt", "newest.txt"};

    coordinator->rescan("kept");
    runScan();
    EXPECT_EQ(read(layout.infoURL("kept")), oldInfo);
    EXPECT_EQ(read(layout.indexURL("kept")), oldIndex);
    EXPECT_FALSE(exists(Coordinator::stagingURL(layout, "kept")));
    EXPECT_TRUE(exists(layout.markerURL("kept")));
    EXPECT_TRUE(
        coordinator->lastErrors().at("kept").starts_with("Couldn\u2019t save the catalog: "));
    library.reload("kept");
    EXPECT_EQ(library.entry("kept")->store->count(), 2u) << "the old index, still whole";

    // A new catalog on such a drive is deleted and named in the notice.
    MountedVolume other = drive("\xfe");
    fs::create_directories(other.mountPath + "/Work");
    const std::string id = startedID(coordinator->addFolder(other.mountPath + "/Work"));
    runScan();
    EXPECT_FALSE(exists(layout.directory(id)));
    EXPECT_EQ(coordinator->notice(), "Work: " + coordinator->lastErrors().at(id));
}

TEST_F(CatalogJobsTest, TheFreeSpaceGuardRefusesBeforeAnythingIsWritten) {
    MountedVolume a = drive("A");
    drive("B");
    keep(info("kept", "B"));
    fs::create_directories(fs::path(a.mountPath) / "Photos");
    freeBytes = 1000;

    const std::string id = startedID(coordinator->addFolder(a.mountPath + "/Photos"));
    EXPECT_FALSE(coordinator->isScanning());
    EXPECT_EQ(coordinator->notice(),
              "Not enough free space to catalog Photos. Free some space and try again.");
    EXPECT_TRUE(coordinator->pendingNew().empty());
    EXPECT_TRUE(coordinator->lastErrors().empty());
    EXPECT_FALSE(exists(layout.directory(id)));

    coordinator->rescan("kept");
    EXPECT_FALSE(coordinator->isScanning());
    const auto expected = ResourceGuard::evaluate(
        1000, static_cast<std::int64_t>(fs::file_size(layout.indexURL("kept"))));
    ASSERT_TRUE(expected.explanation);
    EXPECT_EQ(coordinator->lastErrors().at("kept"), *expected.explanation);
    EXPECT_FALSE(exists(layout.markerURL("kept")));
    EXPECT_TRUE(scans.empty());

    freeBytes = std::nullopt; // unknown space lets the scan through
    coordinator->rescan("kept");
    EXPECT_TRUE(coordinator->isScanning("kept"));
}

TEST_F(CatalogJobsTest, JobsWithoutTheirVolumeOrRootAreDroppedSilently) {
    MountedVolume a = drive("A");
    MountedVolume b = drive("B");
    keep(info("busy", "B"));
    keep(info("offline", "GONE"));
    keep(info("missing", "B", "Missing", Kind::folder));
    fs::remove(fs::path(b.mountPath) / "Missing");
    fs::create_directories(fs::path(a.mountPath) / "Later");

    coordinator->rescan("busy");
    coordinator->rescan("offline");
    coordinator->rescan("missing");
    const std::string later = startedID(coordinator->addFolder(a.mountPath + "/Later"));
    mounted = {b}; // A leaves before the new catalog's turn
    runAll();

    EXPECT_EQ(scans.size(), 1u);
    EXPECT_TRUE(coordinator->pending().empty());
    EXPECT_TRUE(coordinator->pendingNew().empty());
    EXPECT_TRUE(coordinator->lastErrors().empty());
    EXPECT_FALSE(coordinator->notice());
    EXPECT_FALSE(exists(layout.directory(later)));
}

TEST_F(CatalogJobsTest, TheUsersExclusionsAreReadForEachJob) {
    drive("A");
    keep(info("x", "A"));
    preferences.setUserExclusions({"/skip/one"});
    coordinator->rescan("x");
    preferences.setUserExclusions({"/skip/two"});
    runScan();
    coordinator->rescan("x");
    runScan();

    ASSERT_EQ(scans.size(), 2u);
    for (const auto& path : ScanPolicy::defaultExclusions())
        EXPECT_TRUE(scans[0].excluded.contains(path)) << path;
    EXPECT_TRUE(scans[0].excluded.contains("/skip/one"));
    EXPECT_FALSE(scans[1].excluded.contains("/skip/one"));
    EXPECT_TRUE(scans[1].excluded.contains("/skip/two"));
}

TEST_F(CatalogJobsTest, ACoordinatorGoneBeforeItsResultReceivesNothing) {
    drive("A");
    keep(info("x", "A"));
    script.ignoreCancel = true;
    script.progress = {3};
    coordinator->rescan("x");
    const auto flag = coordinator->running()->flag;
    coordinator.reset();
    EXPECT_TRUE(flag->isCancelled()) << "its scan is asked to stop";

    runScan();
    EXPECT_EQ(scans.size(), 1u);
    EXPECT_EQ(mainQueue.pending(), 0u);
    EXPECT_EQ(library.entry("x")->info.lastCatalogued, std::nullopt)
        << "no finish ran, so nothing was reloaded";
}

TEST(CatalogJobsRealScan, AFolderOfAVolumeBecomesACatalog) {
    test::TempDir dir;
    const fs::path volumeRoot = dir / "volume";
    fs::create_directories(volumeRoot / "Projects/src");
    fs::create_directories(volumeRoot / "Other");
    std::ofstream(volumeRoot / "Projects/readme.txt") << "hello";
    std::ofstream(volumeRoot / "Projects/src/main.cpp") << "int main() {}";
    std::ofstream(volumeRoot / "Other/skip.txt") << "x";

    CatalogLayout layout(dir / "data/Catalogs");
    CatalogLibrary library(layout);
    Preferences preferences(std::make_shared<InMemorySettingsStore>());
    ManualMainQueue mainQueue;
    ManualClock clock;
    ManualSerialQueueFactory queues;
    MountedVolume volume;
    volume.uuid = "REAL-UUID";
    volume.mountPath = volumeRoot.string();
    volume.name = "Real";
    CatalogCoordinator coordinator(library, preferences, [&] { return std::vector{volume}; },
                                   86400.0,
                                   {.mainQueue = mainQueue, .clock = clock, .queues = queues});
    library.updateMounted({volume});

    const auto result = coordinator.addFolder((volumeRoot / "Projects").string());
    ASSERT_TRUE(std::holds_alternative<CatalogCoordinator::Started>(result));
    const std::string id = std::get<CatalogCoordinator::Started>(result).id;
    queues.drainAll();
    mainQueue.drain();

    const CatalogEntry* entry = library.entry(id);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->health, CatalogEntry::Health::ok());
    EXPECT_EQ(entry->info.fileCount, 2);
    EXPECT_EQ(entry->info.folderCount, 1);
    EXPECT_EQ(entry->info.totalBytes, 18u);
    EXPECT_EQ(entry->currentRoot, (volumeRoot / "Projects").string());
    EXPECT_TRUE(entry->store);
    EXPECT_TRUE(coordinator.lastErrors().empty());
    EXPECT_FALSE(fs::exists(layout.markerURL(id)));
    EXPECT_FALSE(fs::exists(CatalogCoordinator::stagingURL(layout, id)));
}

} // namespace
} // namespace ulmaro
