#include "UlmaroAppKit/Catalogs/CatalogMigration.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexLoadOutcome.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

} // namespace

void PrintTo(const CatalogMigration::Outcome& o, std::ostream* os) {
    *os << "created:";
    for (const auto& u : o.created)
        *os << ' ' << u;
    *os << " failed:";
    for (const auto& u : o.failed)
        *os << ' ' << u;
    *os << (o.complete ? " complete" : " incomplete");
}

namespace {

constexpr std::time_t indexTime = 1741000000; // 2025-03-03, whole seconds

struct FileSpec {
    std::string name;
    std::uint64_t size;
};

// One volume's records as a scan writes them: the folder chain from "/" down to the mount
// point, then a folder "docs" with files, everything carrying the volume's index.
void addVolume(IndexBuilder& b, std::uint8_t volume, const std::string& mountPath,
               const std::vector<FileSpec>& files = {{"a.txt", 100}, {"b.txt", 50}}) {
    std::uint32_t at = b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, volume);
    for (const auto& part : fs::path(mountPath).relative_path())
        at = b.addEntry(part.string(), at, RecordFlags::isDirectory, volume);
    const std::uint32_t docs = b.addEntry("docs", at, RecordFlags::isDirectory, volume);
    for (const auto& f : files)
        b.setAttributes(b.addEntry(f.name, docs, RecordFlags{}, volume), f.size, 1700000000);
}

MountedVolume mounted(std::string uuid, std::string path, std::string name,
                      std::optional<std::int64_t> total) {
    MountedVolume v;
    v.uuid = std::move(uuid);
    v.mountPath = std::move(path);
    v.name = std::move(name);
    v.totalBytes = total;
    return v;
}

void setTime(const fs::path& file, std::time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class CatalogMigrationTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path index = dir / "index.bin";
    fs::path source = CatalogMigration::sourcePath(index);
    CatalogLayout layout{dir / "Catalogs"};
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    Preferences preferences{store};
    ManualMainQueue mainQueue;
    ManualSerialQueue background{"migration", QueueQuality::utility};
    WallTime now = std::chrono::system_clock::from_time_t(1760000000);

    void writeIndex(const IndexBuilder& b, const std::vector<VolumeEntry>& volumes) {
        IndexWriter::write(b, volumes, index);
        setTime(index, indexTime);
    }
    // "/", a drive at /Volumes/Backup and one at /Volumes/Old.
    void writeThreeVolumes() {
        IndexBuilder b;
        addVolume(b, 0, "/", {{"notes.txt", 7}});
        addVolume(b, 1, "/Volumes/Backup");
        addVolume(b, 2, "/Volumes/Old", {{"c.txt", 30}});
        writeIndex(b, {{"ROOT", "/", 5, true},
                       {"B", "/Volumes/Backup", 6, true},
                       {"O", "/Volumes/Old", 7, false}});
    }

    std::optional<CatalogMigration::Outcome> run(std::vector<MountedVolume> volumes = {}) {
        std::optional<CatalogMigration::Outcome> result;
        CatalogMigration::runInBackground(index, layout, preferences, std::move(volumes), now,
                                          mainQueue, background,
                                          [&](const CatalogMigration::Outcome& o) { result = o; });
        background.drain();
        mainQueue.drain();
        return result;
    }

    std::vector<CatalogInfo> catalogs() const {
        std::vector<CatalogInfo> out;
        for (const auto& id : layout.catalogIDs())
            out.push_back(CatalogInfo::read(layout.infoURL(id)));
        return out;
    }
    std::optional<CatalogInfo> catalogOf(const std::string& uuid) const {
        for (auto& info : catalogs())
            if (info.volumeUUID == uuid && info.kind == CatalogInfo::Kind::drive) return info;
        return std::nullopt;
    }
    std::size_t folderCount() const {
        if (!fs::exists(layout.root())) return 0;
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(layout.root()), fs::directory_iterator()));
    }
};

TEST_F(CatalogMigrationTest, DoneAlreadyCompletesAtOnceAndTouchesNothing) {
    writeThreeVolumes();
    preferences.setCatalogMigrationDone(true);
    bool called = false;
    CatalogMigration::runInBackground(index, layout, preferences, {}, now, mainQueue, background,
                                      [&](const CatalogMigration::Outcome& o) {
                                          called = true;
                                          EXPECT_EQ(o, CatalogMigration::Outcome{});
                                      });
    EXPECT_TRUE(called);
    EXPECT_EQ(background.pending(), 0u);
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(folderCount(), 0u);
}

TEST_F(CatalogMigrationTest, OnlyTheStartupVolumeCompletesEmpty) {
    IndexBuilder b;
    addVolume(b, 0, "/");
    writeIndex(b, {{"ROOT", "/", 0, true}});
    bool called = false;
    CatalogMigration::runInBackground(index, layout, preferences, {}, now, mainQueue, background,
                                      [&](const CatalogMigration::Outcome&) { called = true; });
    EXPECT_TRUE(fs::exists(source)) << "the link is made on the main queue, before the work";
    background.drain();
    EXPECT_FALSE(called) << "the completion comes through the main queue";
    mainQueue.drain();
    EXPECT_TRUE(called);
    EXPECT_TRUE(preferences.catalogMigrationDone());
    EXPECT_FALSE(fs::exists(source));
    EXPECT_TRUE(fs::exists(index));
    EXPECT_EQ(folderCount(), 0u);
}

// Done is kept beside the index as well: with the settings lost or damaged (they read as
// empty), the next launch neither links nor copies the index nor migrates it again.
TEST_F(CatalogMigrationTest, ADamagedSettingsFileNeverRunsItAgain) {
    writeThreeVolumes();
    ASSERT_TRUE(run());
    EXPECT_TRUE(fs::exists(CatalogMigration::donePath(index)));
    EXPECT_EQ(folderCount(), 2u);

    auto damaged = std::make_shared<InMemorySettingsStore>();
    Preferences fresh{damaged};
    bool called = false;
    CatalogMigration::runInBackground(index, layout, fresh, {}, now, mainQueue, background,
                                      [&](const CatalogMigration::Outcome&) { called = true; });
    EXPECT_TRUE(called);
    EXPECT_EQ(background.pending(), 0u);
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(folderCount(), 2u);

    // The mark goes where the index goes, its folder made if need be.
    const fs::path elsewhere = dir / "new-data" / "index.bin";
    CatalogMigration::settle({}, elsewhere, {}, fresh);
    EXPECT_TRUE(fs::exists(CatalogMigration::donePath(elsewhere)));
    EXPECT_TRUE(fresh.catalogMigrationDone());
}

// Only drives become drive catalogs: a folder that `lu scan` recorded as its volume, or a
// volume mounted where the main index covers it, never does.
TEST_F(CatalogMigrationTest, FoldersAndCoveredVolumesAreNoDrives) {
    IndexBuilder b;
    addVolume(b, 0, "/home/ann/Documents");
    addVolume(b, 1, "/media/ann/Stick/Photos");
    addVolume(b, 2, "/home");
    addVolume(b, 3, "/mnt/usb");
    writeIndex(b, {{"local", "/home/ann/Documents", 0, true},
                   {"local", "/media/ann/Stick/Photos", 0, true},
                   {"HOME", "/home", 0, true},
                   {"USB", "/mnt/usb", 0, true}});
    auto outcome = run();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (CatalogMigration::Outcome{{"USB"}, {}, true}));
    EXPECT_EQ(folderCount(), 1u);
}

TEST_F(CatalogMigrationTest, MountedAndUnmountedDrivesBecomeDriveCatalogs) {
    writeThreeVolumes();
    auto outcome = run({mounted("B", "/media/ann/Backup", "Backup Disk", 1000)});
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (CatalogMigration::Outcome{{"B", "O"}, {}, true}));
    EXPECT_TRUE(preferences.catalogMigrationDone());
    EXPECT_FALSE(fs::exists(source));

    const auto catalogued = std::chrono::system_clock::from_time_t(indexTime);
    auto backup = catalogOf("B");
    ASSERT_TRUE(backup);
    EXPECT_EQ(backup->kind, CatalogInfo::Kind::drive);
    EXPECT_EQ(backup->name, "Backup Disk");
    EXPECT_EQ(backup->relativeRoot, "");
    EXPECT_EQ(backup->lastMountPath, "/Volumes/Backup");
    EXPECT_EQ(backup->capacityBytes, 1000);
    EXPECT_EQ(backup->freeBytes, std::nullopt);
    EXPECT_EQ(backup->lastConnected, now);
    EXPECT_EQ(backup->lastCatalogued, catalogued);
    EXPECT_EQ(backup->rootRecordID, 2u);
    EXPECT_EQ(backup->fileCount, 2);
    EXPECT_EQ(backup->folderCount, 1); // "docs"; the chain down to the mount point is not counted
    EXPECT_EQ(backup->totalBytes, 150u);
    EXPECT_EQ(backup->formatVersion, 1);
    EXPECT_EQ(backup->id.size(), 36u);

    auto old = catalogOf("O");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->name, "Old");
    EXPECT_EQ(old->capacityBytes, std::nullopt);
    EXPECT_EQ(old->freeBytes, std::nullopt);
    EXPECT_EQ(old->lastConnected, std::nullopt);
    EXPECT_EQ(old->lastCatalogued, catalogued);
    EXPECT_EQ(old->totalBytes, 30u);

    auto loaded = loadIndex(layout.indexURL(backup->id));
    ASSERT_TRUE(loaded.isLoaded());
    const IndexStore& s = *loaded.store;
    EXPECT_EQ(s.header().volumes, (std::vector<VolumeEntry>{{"B", "/Volumes/Backup", 0, true}}));
    ASSERT_EQ(s.count(), 6u);
    for (std::uint32_t id = 0; id < s.count(); ++id)
        EXPECT_EQ(s[id].volumeIndex, 0);
    EXPECT_EQ(s.name(2), "Backup");
    EXPECT_EQ(s[2].size, 150u) << "folder sizes are rolled up";
    EXPECT_FALSE(fs::exists(layout.directory(backup->id) / "index.bin.inprogress"));
}

TEST_F(CatalogMigrationTest, SkippedDrivesAreDeclinedOnceInSortedPlace) {
    writeThreeVolumes();
    preferences.setSkippedVolumeUUIDs({"O", "A"});
    preferences.setDeclinedDriveUUIDs({"A", "Z"});
    auto outcome = run();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (CatalogMigration::Outcome{{"B"}, {}, true}));
    EXPECT_FALSE(catalogOf("O"));
    EXPECT_EQ(preferences.declinedDriveUUIDs(), (std::vector<std::string>{"A", "O", "Z"}));
}

TEST_F(CatalogMigrationTest, OnlyADriveCatalogCoversItsVolume) {
    writeThreeVolumes();
    CatalogInfo drive;
    drive.id = "EXISTING-DRIVE";
    drive.kind = CatalogInfo::Kind::drive;
    drive.volumeUUID = "B";
    drive.write(layout.infoURL(drive.id));
    CatalogInfo folder;
    folder.id = "EXISTING-FOLDER";
    folder.kind = CatalogInfo::Kind::folder;
    folder.volumeUUID = "O";
    folder.relativeRoot = "Photos";
    folder.write(layout.infoURL(folder.id));
    // An unreadable catalog covers nothing.
    fs::create_directories(layout.directory("BROKEN"));
    std::ofstream(layout.infoURL("BROKEN")) << "{";

    auto outcome = run();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (CatalogMigration::Outcome{{"O"}, {}, true}));
}

TEST_F(CatalogMigrationTest, AVolumeWithoutRecordsIsNeitherCreatedNorFailed) {
    IndexBuilder b;
    addVolume(b, 0, "/");
    addVolume(b, 2, "/Volumes/Old");
    writeIndex(b, {{"ROOT", "/", 0, true},
                   {"EMPTY", "/Volumes/Empty", 0, true},
                   {"O", "/Volumes/Old", 0, true}});
    auto outcome = run();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (CatalogMigration::Outcome{{"O"}, {}, true}));
    EXPECT_TRUE(preferences.catalogMigrationDone());
}

TEST_F(CatalogMigrationTest, AMountPointPastTheFirst64RecordsLeavesNoRootRecord) {
    IndexBuilder b;
    const std::uint32_t top = b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 1);
    for (int i = 0; i < 70; ++i)
        b.addEntry(std::to_string(i), top, RecordFlags::isDirectory, 1);
    const std::uint32_t volumes = b.addEntry("Volumes", top, RecordFlags::isDirectory, 1);
    b.addEntry("Deep", volumes, RecordFlags::isDirectory, 1);
    writeIndex(b, {{"ROOT", "/", 0, true}, {"D", "/Volumes/Deep", 0, true}});
    auto outcome = run();
    ASSERT_TRUE(outcome);
    ASSERT_EQ(outcome->created, std::vector<std::string>{"D"});
    EXPECT_EQ(catalogOf("D")->rootRecordID, std::nullopt);

    IndexBuilder near;
    addVolume(near, 0, "/Volumes/Deep");
    EXPECT_EQ(CatalogMigration::rootRecord(near, "/Volumes/Deep"), 2u);
    EXPECT_EQ(CatalogMigration::rootRecord(near, "/"), 0u);
    EXPECT_EQ(CatalogMigration::rootRecord(near, "/Volumes/Dee"), std::nullopt);
}

TEST_F(CatalogMigrationTest, WithoutASourceTheMainIndexIsMigratedUndated) {
    writeThreeVolumes();
    auto outcome = CatalogMigration::migrate(source, index, layout, {}, {}, now);
    EXPECT_EQ(outcome, (CatalogMigration::Outcome{{"B", "O"}, {}, true}));
    EXPECT_EQ(catalogOf("B")->lastCatalogued, std::nullopt);
    EXPECT_EQ(catalogOf("O")->lastCatalogued, std::nullopt);
}

TEST_F(CatalogMigrationTest, NothingLoadableCompletesEmpty) {
    std::ofstream(index) << "not an index";
    auto outcome = run();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, CatalogMigration::Outcome{});
    EXPECT_TRUE(preferences.catalogMigrationDone());
    EXPECT_FALSE(fs::exists(source));
}

TEST_F(CatalogMigrationTest, AFailedWriteIsRetriedAloneFromTheSource) {
    // An index header holds its mount paths repaired to UTF-8, but a drive's label is bytes,
    // and the info file cannot hold a name that is not UTF-8.
    IndexBuilder b;
    addVolume(b, 0, "/");
    addVolume(b, 1, "/Volumes/Backup");
    addVolume(b, 2, "/Volumes/Bad");
    addVolume(b, 3, "/Volumes/Old");
    writeIndex(b, {{"ROOT", "/", 0, true},
                   {"B", "/Volumes/Backup", 0, true},
                   {"BAD", "/Volumes/Bad", 0, true},
                   {"O", "/Volumes/Old", 0, true}});
    const std::vector<MountedVolume> volumes = {mounted("BAD", "/media/bad", "\xff\xfe", 10)};
    auto first = run(volumes);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (CatalogMigration::Outcome{{"B", "O"}, {"BAD"}, false}));
    EXPECT_EQ(folderCount(), 2u) << "the failed catalog's folder is removed";
    EXPECT_FALSE(preferences.catalogMigrationDone());
    EXPECT_TRUE(fs::exists(source));

    // The shell rebuilds the main index with "/" alone; the source still holds the rest.
    IndexBuilder rebuilt;
    addVolume(rebuilt, 0, "/");
    IndexWriter::write(rebuilt, std::vector<VolumeEntry>{{"ROOT", "/", 0, true}}, index);
    auto second = run(volumes);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, (CatalogMigration::Outcome{{}, {"BAD"}, false}));
    EXPECT_EQ(folderCount(), 2u);
    EXPECT_TRUE(fs::exists(source));
}

TEST_F(CatalogMigrationTest, AFileSystemWithoutHardLinksGetsACopyWithTheIndexTime) {
    writeThreeVolumes();
    int linkCalls = 0;
    auto refuse = [&](const char*, const char*) {
        ++linkCalls;
        errno = EPERM;
        return -1;
    };
    ASSERT_TRUE(CatalogMigration::begin(index, preferences, refuse));
    EXPECT_EQ(linkCalls, 1);
    struct stat original {
    }, copy{};
    ASSERT_EQ(::stat(index.c_str(), &original), 0);
    ASSERT_EQ(::stat(source.c_str(), &copy), 0);
    EXPECT_NE(original.st_ino, copy.st_ino);
    EXPECT_EQ(copy.st_size, original.st_size);
    EXPECT_EQ(copy.st_mtim.tv_sec, indexTime);

    // An existing source is never replaced.
    ASSERT_TRUE(CatalogMigration::begin(index, preferences, refuse));
    EXPECT_EQ(linkCalls, 1);

    // The copy serves a retry after the main index was rebuilt.
    IndexBuilder rebuilt;
    addVolume(rebuilt, 0, "/");
    IndexWriter::write(rebuilt, std::vector<VolumeEntry>{{"ROOT", "/", 0, true}}, index);
    auto outcome = CatalogMigration::migrate(source, index, layout, {}, {}, now);
    EXPECT_EQ(outcome, (CatalogMigration::Outcome{{"B", "O"}, {}, true}));
    EXPECT_EQ(catalogOf("B")->lastCatalogued, std::chrono::system_clock::from_time_t(indexTime));
}

TEST_F(CatalogMigrationTest, NoSourceWhenTheCopyFailsToo) {
    fs::create_directories(index); // not a regular file: nothing can be copied
    auto refuse = [](const char*, const char*) {
        errno = EMLINK;
        return -1;
    };
    ASSERT_TRUE(CatalogMigration::begin(index, preferences, refuse));
    EXPECT_FALSE(fs::exists(source));
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(CatalogMigrationTest, NoIndexNoLink) {
    auto skipped = CatalogMigration::begin(index, preferences);
    ASSERT_TRUE(skipped);
    EXPECT_TRUE(skipped->empty());
    EXPECT_FALSE(fs::exists(source));
}

} // namespace
} // namespace ulmaro
