#include "CatalogCoordinatorFixture.h"
#include "support/DebianHomeMachine.h"

#include <algorithm>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using Coordinator = CatalogCoordinator;
using Kind = CatalogInfo::Kind;

class CatalogCoordinatorTest : public test::CatalogCoordinatorFixture {};

TEST_F(CatalogCoordinatorTest, OfferRule) {
    MountedVolume plain = drive("PLAIN");
    MountedVolume boot = plain;
    boot.mountPath = "/";
    MountedVolume covered = plain;
    covered.mountPath = (dir / "home").string();
    MountedVolume internal = drive("INTERNAL");
    internal.isInternal = true;
    MountedVolume image = drive("IMAGE");
    MountedVolume timeMachine = drive("TM");
    timeMachine.isTimeMachineDestination = true;
    MountedVolume declined = drive("DECLINED");
    preferences.declineDrive("DECLINED");
    MountedVolume withFolder = drive("FOLDER");
    keep(info("folder-cat", "FOLDER", "Photos", Kind::folder));
    MountedVolume withList = drive("LIST");
    keep(info("list-cat", "LIST", "", Kind::efu));
    MountedVolume queued = drive("QUEUED");
    MountedVolume busy = drive("BUSY");
    coordinator->catalogDrive(busy); // runs, so QUEUED waits behind it
    coordinator->catalogDrive(queued);
    coordinator->isDiskImage = [](const MountedVolume& v) { return v.uuid == "IMAGE"; };

    struct Case {
        const char* what;
        MountedVolume volume;
        bool wanted;
    };
    const Case cases[] = {
        {"an uncatalogued drive", plain, true},
        {"the start-up volume", boot, false},
        {"a volume the main index covers", covered, false},
        {"an internal disk", internal, false},
        {"a disk image", image, false},
        {"a Time Machine destination", timeMachine, false},
        {"a declined drive", declined, false},
        {"a drive holding a folder catalog", withFolder, false},
        {"a drive holding a file list's UUID", withList, false},
        {"a drive with a queued new catalog", queued, false},
        {"a drive being catalogued", busy, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(coordinator->wantsPrompt(c.volume), c.wanted) << c.what;

    coordinator->isOnboardingShowing = [] { return true; };
    EXPECT_FALSE(coordinator->wantsPrompt(plain)) << "while the first-run flow shows";
}

// Only drives of their own are offered: a volume mounted outside the other-volume folders
// lies in the main index already, and an internal disk that cannot be removed is no drive.
TEST_F(CatalogCoordinatorTest, OnADebianHomePartitionOnlyTheStickIsOffered) {
    const test::DebianHomeMachine machine;
    mounted = VolumeEnumerator::mountedVolumes(machine.sources());
    std::vector<std::string> paths;
    for (const auto& v : mounted)
        paths.push_back(v.mountPath);
    ASSERT_EQ(paths, (std::vector<std::string>{"/", "/home", "/media/ann/STICK", "/mnt/data"}));
    otherVolumeFolders = ScanPolicy::otherVolumeFolders();
    coordinator = make();
    std::vector<std::string> offered;
    coordinator->onPromptForDrive = [&](const MountedVolume& v) { offered.push_back(v.name); };

    coordinator->start();
    EXPECT_EQ(offered, std::vector<std::string>{"STICK"});
    for (const auto& v : mounted)
        EXPECT_EQ(coordinator->wantsPrompt(v), v.uuid == test::DebianHomeMachine::stickUUID)
            << v.mountPath;
}

TEST_F(CatalogCoordinatorTest, OffersEveryAttachedDriveItWantsAndForgetsDeclinedOnes) {
    MountedVolume root;
    root.uuid = "ROOT";
    root.mountPath = "/";
    mounted.push_back(root);
    MountedVolume a = drive("A");
    drive("B");
    preferences.declineDrive("B");
    std::vector<std::string> offered;
    coordinator->onPromptForDrive = [&](const MountedVolume& v) { offered.push_back(v.uuid); };

    coordinator->promptForAttachedDrives();
    EXPECT_EQ(offered, std::vector<std::string>{"A"});

    coordinator->decline(a);
    EXPECT_EQ(preferences.declinedDriveUUIDs(), (std::vector<std::string>{"A", "B"}));
    offered.clear();
    coordinator->promptForAttachedDrives();
    EXPECT_TRUE(offered.empty());
}

TEST_F(CatalogCoordinatorTest, CataloguingADriveAbsorbsItsFolderCatalogsOnceWritten) {
    MountedVolume a = drive("A", 5000);
    keep(info("photos", "A", "Photos", Kind::folder));
    keep(info("music", "A", "Music/Old", Kind::folder));
    drive("B");
    keep(info("elsewhere", "B", "Photos", Kind::folder));
    preferences.declineDrive("A");

    const std::string id = startedID(coordinator->catalogDrive(a));
    EXPECT_TRUE(preferences.declinedDriveUUIDs().empty()) << "the answer undeclines the drive";
    ASSERT_EQ(coordinator->pendingNew().size(), 1u);
    const CatalogInfo& queued = coordinator->pendingNew().front();
    EXPECT_EQ(queued.id, id);
    EXPECT_EQ(queued.kind, Kind::drive);
    EXPECT_EQ(queued.relativeRoot, "");
    EXPECT_EQ(queued.name, "Drive A");
    EXPECT_EQ(queued.lastMountPath, a.mountPath);
    EXPECT_EQ(queued.capacityBytes, 5000);
    EXPECT_EQ(queued.freeBytes, std::nullopt);
    EXPECT_EQ(queued.lastCatalogued, std::nullopt);
    ASSERT_TRUE(coordinator->running());
    EXPECT_EQ(coordinator->running()->job.absorbs, (std::vector<std::string>{"music", "photos"}));

    runScan();
    EXPECT_EQ(trashed,
              (std::vector<fs::path>{layout.directory("music"), layout.directory("photos")}));
    std::vector<std::string> kept;
    for (const auto& entry : library.entries())
        kept.push_back(entry.id());
    std::sort(kept.begin(), kept.end());
    std::vector<std::string> expected = {"elsewhere", id};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(kept, expected);
}

TEST_F(CatalogCoordinatorTest, ADriveAlreadyCoveredChangesNothing) {
    MountedVolume a = drive("A");
    keep(info("whole", "A"));
    MountedVolume b = drive("B");
    const std::string queuedID = startedID(coordinator->catalogDrive(b));
    preferences.declineDrive("A");
    preferences.declineDrive("B");
    changes = 0;

    EXPECT_EQ(coordinator->catalogDrive(a),
              Coordinator::AddResult(Coordinator::AlreadyCovered{"whole"}));
    EXPECT_EQ(coordinator->catalogDrive(b),
              Coordinator::AddResult(Coordinator::AlreadyCovered{"Drive B"}))
        << "a queued catalog covers its drive too";
    EXPECT_EQ(coordinator->addFolder(a.mountPath),
              Coordinator::AddResult(Coordinator::AlreadyCovered{"whole"}))
        << "a mount point is the whole drive";
    EXPECT_EQ(preferences.declinedDriveUUIDs(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(coordinator->pendingNew().size(), 1u);
    EXPECT_EQ(changes, 0);
}

TEST_F(CatalogCoordinatorTest, AddingFolders) {
    MountedVolume a = drive("A");
    keep(info("docs", "A", "Docs", Kind::folder));
    MountedVolume b = drive("B");
    keep(info("all-b", "B"));
    MountedVolume c = drive("C");
    fs::create_directories(fs::path(a.mountPath) / "Docs/2024");
    fs::create_directories(fs::path(a.mountPath) / "Pictures/Summer");
    fs::create_directories(fs::path(b.mountPath) / "x");
    fs::create_symlink(fs::path(a.mountPath) / "Pictures", dir / "linked");

    struct Case {
        const char* what;
        std::string path;
        std::optional<std::string> coveredBy; // else started
        Kind kind = Kind::folder;
        std::string uuid = {};
        std::string relative = {};
        std::string name = {};
    };
    const Case cases[] = {
        {"a folder catalog itself", a.mountPath + "/Docs", "docs"},
        {"inside a folder catalog", a.mountPath + "/Docs/2024", "docs"},
        {"inside a whole-drive catalog", b.mountPath + "/x", "all-b"},
        {"a link, on the volume it points to",
         (dir / "linked/Summer").string(),
         {},
         Kind::folder,
         "A",
         "Pictures/Summer",
         "Summer"},
        {"a mount point with a trailing slash",
         c.mountPath + "/",
         {},
         Kind::drive,
         "C",
         "",
         "Drive C"},
        {"inside the catalog just queued", a.mountPath + "/Pictures/Summer/Beach", "Summer"},
    };
    for (const auto& row : cases) {
        auto result = coordinator->addFolder(row.path);
        if (row.coveredBy) {
            EXPECT_EQ(result, Coordinator::AddResult(Coordinator::AlreadyCovered{*row.coveredBy}))
                << row.what;
            continue;
        }
        const std::string id = startedID(result);
        ASSERT_FALSE(coordinator->pendingNew().empty()) << row.what;
        const CatalogInfo& added = coordinator->pendingNew().back();
        EXPECT_EQ(added.id, id) << row.what;
        EXPECT_EQ(added.kind, row.kind) << row.what;
        EXPECT_EQ(added.volumeUUID, row.uuid) << row.what;
        EXPECT_EQ(added.relativeRoot, row.relative) << row.what;
        EXPECT_EQ(added.name, row.name) << row.what;
    }

    mounted = {a};
    EXPECT_EQ(coordinator->addFolder((dir / "elsewhere").string()),
              Coordinator::AddResult(Coordinator::NotOnAVolume{}));
}

TEST_F(CatalogCoordinatorTest, AFolderAboveFolderCatalogsAbsorbsThemOnceWritten) {
    MountedVolume a = drive("A");
    keep(info("one", "A", "P/one", Kind::folder));
    keep(info("two", "A", "P/deep/two", Kind::folder));
    keep(info("q", "A", "Q", Kind::folder));
    keep(info("sibling", "A", "Pets", Kind::folder));

    const std::string id = startedID(coordinator->addFolder(a.mountPath + "/P"));
    EXPECT_EQ(coordinator->running()->job.absorbs, (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(trashed.empty()) << "nothing is forgotten before the new catalog is written";
    runScan();
    EXPECT_EQ(trashed, (std::vector<fs::path>{layout.directory("one"), layout.directory("two")}));
    EXPECT_NE(library.entry(id), nullptr);
    EXPECT_NE(library.entry("q"), nullptr);
    EXPECT_NE(library.entry("sibling"), nullptr);
}

TEST_F(CatalogCoordinatorTest, QueueingWhatIsQueuedOrRunningChangesNothing) {
    drive("A");
    keep(info("x", "A"));
    drive("B");
    keep(info("y", "B"));
    keep(info("list", "B", "", Kind::efu));
    drive("C");
    keep(info("gone", "OFFLINE"));

    coordinator->rescan("x");
    coordinator->rescan("y");
    EXPECT_TRUE(coordinator->isScanning("x"));
    EXPECT_FALSE(coordinator->isScanning("y"));
    EXPECT_EQ(pendingIDs(), std::vector<std::string>{"y"});

    changes = 0;
    coordinator->rescan("x");
    coordinator->rescan("y");
    coordinator->rescanAllOnline();
    coordinator->rescan("list");
    coordinator->rescan("no-such-catalog");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(pendingIDs(), std::vector<std::string>{"y"});
    EXPECT_EQ(scans.size(), 0u);

    runAll();
    EXPECT_EQ(scans.size(), 2u) << "x and y, never the file list or the offline catalog";
    EXPECT_FALSE(coordinator->isScanning());
    EXPECT_EQ(coordinator->activity(), Coordinator::Activity(Coordinator::Idle{}));
}

} // namespace
} // namespace ulmaro
