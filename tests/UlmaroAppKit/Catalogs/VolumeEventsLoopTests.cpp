#include "UlmaroAppKit/Catalogs/DiskImageDetector.h"
#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroKit/Platform/MountTable.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

// A real mount and unmount of a loop-mounted image, seen through the kernel's mount table.
// Needs root and loop devices; elsewhere it is skipped.
TEST(VolumeEventsLoop, SeesARealLoopMountAndItsUnmountInOrder) {
    if (::geteuid() != 0 || std::system("command -v mkfs.ext4 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root and mkfs.ext4";
    test::TempDir dir;
    const fs::path image = dir / "disk.img";
    const fs::path mountPoint = dir / "mnt";
    fs::create_directory(mountPoint);
    const std::string prepare = "truncate -s 8M '" + image.string() + "' && mkfs.ext4 -q '" +
                                image.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(prepare.c_str()), 0);

    // Without udev there are no UUID links: list the mounts under our folder as volumes.
    auto list = [prefix = dir.path().string()] {
        std::vector<MountedVolume> out;
        for (const auto& m : MountTable::read())
            if (m.mountPoint.starts_with(prefix))
                out.push_back(
                    MountedVolume{m.source, m.mountPoint, "disk", std::nullopt, false, false});
        return out;
    };
    ManualMainQueue mainQueue;
    VolumeEvents events(mainQueue, list, VolumeEvents::Options{MountTable::systemPath, {}});
    std::vector<std::string> log;
    bool imageSeen = false;
    auto a = events.onDidMount([&](const MountedVolume& v) {
        log.push_back("mount");
        imageSeen = DiskImageDetector::isDiskImage(v.mountPath);
    });
    auto b = events.onWillUnmount([&](const std::string&) { log.push_back("will"); });
    auto c = events.onDidUnmount([&](const std::string&) { log.push_back("unmount"); });
    events.start();

    const std::string mount =
        "mount -o loop '" + image.string() + "' '" + mountPoint.string() + "' 2>/dev/null";
    if (std::system(mount.c_str()) != 0) GTEST_SKIP() << "loop devices are not available";
    auto waitFor = [&](std::size_t entries) {
        for (int i = 0; i < 500 && log.size() < entries; ++i) {
            mainQueue.drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    waitFor(1);
    const std::string unmount = "umount '" + mountPoint.string() + "'";
    ASSERT_EQ(std::system(unmount.c_str()), 0);
    waitFor(3);
    EXPECT_EQ(log, (std::vector<std::string>{"mount", "will", "unmount"}));
    EXPECT_TRUE(imageSeen);
}

} // namespace
} // namespace ulmaro
