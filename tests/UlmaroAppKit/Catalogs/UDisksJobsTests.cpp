// udisks2's jobs, served by a fake on a private bus: the watcher sees the ones that take a
// device away, and the catalog pipeline lets go of that drive before the unmount is tried.
#include "CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Catalogs/UDisksJobWatcher.h"
#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Platform/GioTestEnvironment.h"
#include "UlmaroKit/Scanning/VolumeEnumerator.h"
#include "support/DeviceTree.h"
#include "support/FakeUDisks.h"
#include "support/WaitFor.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::FakeUDisks;
using test::GioTestEnvironment;

const std::string blocks = "/org/freedesktop/UDisks2/block_devices/";
const std::string drives = "/org/freedesktop/UDisks2/drives/";

std::vector<FakeUDisks::Block> machineBlocks() {
    return {{blocks + "sda2", "/dev/sda2", "/"},
            {blocks + "sdb1", "/dev/sdb1", drives + "Stick"},
            {blocks + "sdc1", "/dev/sdc1", drives + "Dock"},
            {blocks + "sdc2", "/dev/sdc2", drives + "Dock"},
            {blocks + "dm_2d0", "/dev/dm-0", "/"}};
}

class Reports {
public:
    void add(const std::vector<std::string>& devices) {
        std::lock_guard guard(lock_);
        reports_.push_back(devices);
    }
    std::vector<std::vector<std::string>> get() const {
        std::lock_guard guard(lock_);
        return reports_;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::vector<std::string>> reports_;
};

TEST(UDisksJobWatcher, ReportsTheDevicesOfJobsThatTakeThemAway) {
    const auto& bus = GioTestEnvironment::shared().busAddress();
    if (bus.empty()) GTEST_SKIP() << "dbus-daemon is not installed";
    FakeUDisks udisks(bus, machineBlocks());
    ASSERT_TRUE(udisks.owned());
    Reports reports;
    UDisksJobWatcher watcher(bus, [&](const auto& devices) { reports.add(devices); });
    watcher.start();
    ASSERT_TRUE(watcher.waitUntilListening(10));

    udisks.announceJob("filesystem-mount", {blocks + "sdb1"});
    udisks.announceJob("filesystem-unmount", {blocks + "sdb1"});
    udisks.announceJob("drive-eject", {drives + "Dock"});
    udisks.announceJob("drive-power-off", {drives + "Stick"});
    udisks.announceJob("filesystem-unmount", {blocks + "dm_2d0"});
    udisks.announceJob("filesystem-unmount", {blocks + "unknown"});
    ASSERT_TRUE(test::waitFor([&] { return reports.get().size() >= 4; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // nothing more follows
    EXPECT_EQ(reports.get(), (std::vector<std::vector<std::string>>{
                                 {"sdb1"}, {"sdc1", "sdc2"}, {"sdb1"}, {"dm-0"}}));
}

TEST(UDisksJobWatcher, WithoutABusItReportsNothingAndEndsQuietly) {
    const test::TempDir dir;
    UDisksJobWatcher watcher("unix:path=" + (dir / "no-bus").string(),
                             [](const auto&) { ADD_FAILURE() << "reported without a bus"; });
    watcher.start();
    EXPECT_FALSE(watcher.waitUntilListening(10));
}

// A drive ejected from the desktop while it is catalogued: udisks2 starts its job, and the
// scan of that drive is cancelled and its queued jobs dropped while the drive is still
// mounted, so the unmount that follows finds it free. Another drive's job stays.
class UDisksCatalogTest : public test::CatalogCoordinatorFixture {};

TEST_F(UDisksCatalogTest, AnEjectStartedThroughUDisksCancelsTheScanOfThatDrive) {
    const auto& bus = GioTestEnvironment::shared().busAddress();
    if (bus.empty()) GTEST_SKIP() << "dbus-daemon is not installed";
    FakeUDisks udisks(bus, machineBlocks());
    ASSERT_TRUE(udisks.owned());
    const test::DeviceTree devices({
        {"sdb1", "8:17", "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdb/sdb1", true,
         true, "USB-UUID", "Stick"},
        {"sdc1", "8:33", "pci0000:00/0000:00:14.0/usb2/2-2/2-2:1.0/host7/block/sdc/sdc1", true,
         true, "DOCK-UUID", "Dock"},
    });
    const fs::path stick = dir / "drives/Stick";
    const fs::path dock = dir / "drives/Dock";
    fs::create_directories(stick / "Photos");
    fs::create_directories(stick / "Music");
    fs::create_directories(dock);
    std::ofstream(dir / "mountinfo")
        << "40 1 8:17 / " << stick.string() << " rw,relatime - ext4 /dev/sdb1 rw\n"
        << "41 1 8:33 / " << dock.string() << " rw,relatime - ext4 /dev/sdc1 rw\n";
    VolumeSources sources;
    sources.mountTable = dir / "mountinfo";
    sources.deviceRoot = devices.dev();
    sources.sysRoot = devices.sys();
    VolumeEvents events(
        mainQueue, [sources] { return VolumeEnumerator::mountedVolumes(sources); },
        VolumeEvents::Options{.mountTable = "", .relistAfter = {}, .udisksBus = bus});
    events.start();
    ASSERT_TRUE(events.udisksJobs() && events.udisksJobs()->waitUntilListening(10));
    ASSERT_EQ(events.volumes().size(), 2u);
    volumeEvents = &events;
    coordinator = make();
    coordinator->startWatchingVolumes();

    const auto running = startedID(coordinator->addFolder((stick / "Photos").string()));
    const auto queued = startedID(coordinator->addFolder((stick / "Music").string()));
    const auto other = startedID(coordinator->catalogDrive(events.volumes()[0])); // Dock
    ASSERT_TRUE(coordinator->isScanning(running));
    const auto flag = coordinator->running()->flag;

    udisks.announceJob("filesystem-unmount", {blocks + "sdb1"});
    ASSERT_TRUE(test::waitFor([&] {
        mainQueue.drain();
        return flag->isCancelled();
    }));
    EXPECT_EQ(pendingIDs(), std::vector<std::string>{other});
    EXPECT_EQ(events.volumes().size(), 2u) << "still mounted: the unmount comes after";
    runScan();
    EXPECT_TRUE(coordinator->isScanning(other));
    EXPECT_FALSE(exists(layout.directory(running)));
    EXPECT_FALSE(exists(layout.directory(queued)));
    EXPECT_TRUE(coordinator->lastErrors().empty());
    coordinator.reset(); // before the events it follows
}

// The same with a real drive: an ext4 image loop-mounted, catalogued by the real scan
// (held at its first folder, so that the unmount surely meets it), and unmounted the way a
// desktop does after asking udisks2: a plain umount, tried again for half a second while it
// is busy. Needs root, mkfs.ext4 and loop devices; elsewhere it is skipped.
TEST_F(UDisksCatalogTest, ARealLoopDriveBeingCataloguedUnmountsOnceUDisksAnnouncesIt) {
    const auto& bus = GioTestEnvironment::shared().busAddress();
    if (bus.empty()) GTEST_SKIP() << "dbus-daemon is not installed";
    if (::geteuid() != 0 || std::system("command -v mkfs.ext4 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root and mkfs.ext4";
    const fs::path image = dir / "disk.img";
    const fs::path mountPoint = dir / "media/Loop";
    fs::create_directories(mountPoint);
    ASSERT_EQ(std::system(("truncate -s 16M '" + image.string() + "' && mkfs.ext4 -q '" +
                           image.string() + "' 2>/dev/null")
                              .c_str()),
              0);
    if (std::system(
            ("mount -o loop '" + image.string() + "' '" + mountPoint.string() + "' 2>/dev/null")
                .c_str()) != 0)
        GTEST_SKIP() << "loop devices are not available";
    auto isMounted = [&] { return CatalogCoordinator::realIsMounted(mountPoint.string()); };
    struct Unmounter {
        std::function<bool()> mounted;
        std::string path;
        ~Unmounter() {
            if (mounted()) (void)std::system(("umount -l '" + path + "'").c_str());
        }
    } lastResort{isMounted, mountPoint.string()};
    for (int i = 0; i < 10; ++i)
        fs::create_directories(mountPoint / ("folder" + std::to_string(i)));

    // The drive as the system lists it (its UUID from udev, else from the device itself).
    const std::string prefix = mountPoint.string();
    auto list = [prefix] {
        auto all = VolumeEnumerator::mountedVolumes();
        std::erase_if(all, [&](const MountedVolume& v) { return v.mountPath != prefix; });
        return all;
    };
    ASSERT_EQ(list().size(), 1u) << "the loop drive has no UUID";
    const std::string device = list()[0].device;
    FakeUDisks udisks(bus, {{blocks + device, "/dev/" + device, "/"}});
    ASSERT_TRUE(udisks.owned());
    VolumeEvents events(mainQueue, list,
                        VolumeEvents::Options{.relistAfter = {}, .udisksBus = bus});
    events.start();
    ASSERT_TRUE(events.udisksJobs()->waitUntilListening(10));
    volumeEvents = &events;
    coordinator = make([](std::string_view root, std::string_view uuid, const fs::path& index,
                          const ScanPolicy& policy, const std::function<bool()>& keepGoing,
                          const std::function<void(std::int64_t)>& progress) {
        {
            const int held = ::open(std::string(root).c_str(), O_RDONLY | O_DIRECTORY);
            for (int i = 0; i < 2000 && keepGoing(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (held >= 0) ::close(held);
        }
        return CatalogCoordinator::realScan(root, uuid, index, policy, keepGoing, progress);
    });
    coordinator->startWatchingVolumes();
    const auto id = startedID(coordinator->catalogDrive(events.volumes().at(0)));
    ASSERT_TRUE(coordinator->isScanning(id));
    std::thread scanning([this] { scanQueue().drain(); });

    udisks.announceJob("filesystem-unmount", {blocks + device});
    bool unmounted = false;
    for (int attempt = 0; attempt < 6 && !unmounted; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        mainQueue.drain();
        unmounted = std::system(("umount '" + prefix + "' 2>/dev/null").c_str()) == 0;
    }
    EXPECT_TRUE(unmounted) << "the drive stayed busy";
    if (!unmounted) coordinator->forget(id); // lets the scan go
    scanning.join();
    ASSERT_TRUE(test::waitFor([&] {
        mainQueue.drain();
        return !coordinator->running();
    }));
    EXPECT_TRUE(coordinator->lastErrors().empty());
    EXPECT_FALSE(coordinator->notice());
    EXPECT_FALSE(exists(layout.directory(id)));
    coordinator.reset(); // before the events it follows
}

} // namespace
} // namespace ulmaro
