#include "UlmaroKit/Platform/MountTable.h"
#include "UlmaroKit/Scanning/FilesystemEstimate.h"
#include "UlmaroKit/Scanning/VolumeEnumerator.h"
#include "support/DeviceTree.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::DeviceTree;
using test::TempDir;

const fs::path fixtures = fs::path(ULMARO_FIXTURES_DIR) / "mountinfo";

const std::vector<DeviceTree::Device> desktopDevices = {
    {"nvme0n1p2", "259:2", "pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p2", true, false,
     "9a7e0c52-1b7e-4c4e-9f3e-2d5b1a0c7e11", ""},
    {"nvme0n1p1", "259:1", "pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p1", true, false,
     "A1B2-C3D4", "EFI"},
    {"sdb1", "8:17",
     "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb1", true,
     false, "5e7c8d1a-0b2f-4a51-8d3c-6f0e9b2a4c77", "Backup"},
    {"sdc1", "8:33", "pci0000:00/0000:00:1f.2/ata3/host2/target2:0:0/2:0:0:0/block/sdc/sdc1", true,
     true, "64A2-11F0", "Archive"},
    {"loop0", "7:0", "virtual/block/loop0", false, false, "c0ffee00-aaaa-4bbb-8ccc-123456789abc",
     ""},
    {"loop1", "7:1", "virtual/block/loop1", false, false, "", ""},
    {"sde1", "8:65", "pci0000:00/0000:00:1f.2/ata4/host3/target3:0:0/3:0:0:0/block/sde/sde1", true,
     false, "b7f5e2d0-3c1a-4e8f-9b6d-0a1c2e3f4d5e", "pool"},
    {"sdf1", "8:81", "pci0000:00/0000:00:1f.2/ata5/host4/target4:0:0/4:0:0:0/block/sdf/sdf1", true,
     false, "2d4f6a8c-1e3b-4d5f-8a7c-9e0b1c2d3e4f", "Photos\\x202024"},
    {"sdg1", "8:97", "pci0000:00/0000:00:1f.2/ata6/host5/target5:0:0/5:0:0:0/block/sdg/sdg1", true,
     false, "0E1F-2A3B", ""},
    {"sdh1", "8:113", "pci0000:00/0000:00:1f.2/ata7/host7/target7:0:0/7:0:0:0/block/sdh/sdh1", true,
     false, "", ""},
};

// Fakes for statvfs and for listing a volume's top level; the listing counts its calls.
struct FakeFiles {
    std::map<std::string, FileSystemStats> stats;
    std::map<std::string, std::vector<std::string>> tops;
    std::shared_ptr<std::map<std::string, int>> listings =
        std::make_shared<std::map<std::string, int>>();

    VolumeEnumerator::Sources sources(const DeviceTree& tree, fs::path table) const {
        VolumeEnumerator::Sources s;
        s.mountTable = std::move(table);
        s.deviceRoot = tree.dev();
        s.sysRoot = tree.sys();
        s.statFileSystem = [stats =
                                stats](const std::string& at) -> std::optional<FileSystemStats> {
            auto found = stats.find(at);
            if (found == stats.end()) return std::nullopt;
            return found->second;
        };
        s.listFolder = [tops = tops, listings = listings](
                           const std::string& at) -> std::optional<std::vector<std::string>> {
            ++(*listings)[at];
            auto found = tops.find(at);
            if (found == tops.end()) return std::nullopt;
            return found->second;
        };
        return s;
    }
};

FakeFiles desktopFiles() {
    FakeFiles files;
    files.stats = {{"/", {500'000'000'000, 1000, 10}},
                   {"/run/media/ana/Backup", {2'000'000'000'000, 1000, 10}},
                   {"/run/media/ana/Archive", {64'000'000'000, 1000, 10}},
                   {"/mnt/image", {1'048'576, 1000, 10}},
                   {"/mnt/pool", {8'000'000'000'000, 0, 0}},
                   {"/media/ana/Photos 2024", {256'000'000'000, 1000, 10}}};
    files.tops = {{"/run/media/ana/Archive", {"Backups.backupdb", "Documents"}},
                  {"/run/media/ana/Backup", {"Documents", ".Trashes"}},
                  {"/mnt/image", {}},
                  {"/mnt/pool", {"2024-01-31-101500.previous"}}};
    return files;
}

class VolumeEnumeratorTests : public ::testing::Test {
protected:
    void SetUp() override {
        VolumeEnumerator::forgetProbes();
        VolumeEnumerator::setProbesVolumeRoots(true);
    }
    void TearDown() override {
        VolumeEnumerator::forgetProbes();
        VolumeEnumerator::setProbesVolumeRoots(true);
    }
    // Built once: making a few dozen links is slow on a busy disk.
    static const DeviceTree& desktopTree() {
        static const DeviceTree tree(desktopDevices);
        return tree;
    }
    const DeviceTree& tree = desktopTree();
    FakeFiles files = desktopFiles();
    VolumeEnumerator::Sources sources = files.sources(tree, fixtures / "desktop.mountinfo");
};

TEST_F(VolumeEnumeratorTests, ListsLocalVolumesBootFirstThenByMountPath) {
    std::vector<MountedVolume> expected = {
        {"9a7e0c52-1b7e-4c4e-9f3e-2d5b1a0c7e11", "/", "/", 500'000'000'000, true, false,
         "nvme0n1p2"},
        {"2d4f6a8c-1e3b-4d5f-8a7c-9e0b1c2d3e4f", "/media/ana/Photos 2024", "Photos 2024",
         256'000'000'000, true, false, "sdf1"},
        // Upper case sorts before lower case; no capacity, no label, unlistable top.
        {"0E1F-2A3B", "/mnt/Zip", "Zip", std::nullopt, true, false, "sdg1"},
        {"c0ffee00-aaaa-4bbb-8ccc-123456789abc", "/mnt/image", "image", 1'048'576, true, false,
         "loop0"},
        // Found by its source: btrfs reports an anonymous device number.
        {"b7f5e2d0-3c1a-4e8f-9b6d-0a1c2e3f4d5e", "/mnt/pool", "pool", 8'000'000'000'000, true,
         false, "sde1"},
        {"64A2-11F0", "/run/media/ana/Archive", "Archive", 64'000'000'000, false, true, "sdc1"},
        // Listed before /mnt/backup-again, the other mount of the same file system.
        {"5e7c8d1a-0b2f-4a51-8d3c-6f0e9b2a4c77", "/run/media/ana/Backup", "Backup",
         2'000'000'000'000, false, false, "sdb1"},
    };
    EXPECT_EQ(VolumeEnumerator::mountedVolumes(sources), expected);
    expected.erase(expected.begin());
    EXPECT_EQ(VolumeEnumerator::externalVolumes(sources), expected);
    EXPECT_EQ(files.listings->count("/"), 0u); // the startup volume is never probed
}

TEST_F(VolumeEnumeratorTests, NoTableOrNoDevicesGiveNoVolumes) {
    auto missing = sources;
    missing.mountTable = tree.path() / "none";
    EXPECT_TRUE(VolumeEnumerator::mountedVolumes(missing).empty());
    auto bare = sources;
    bare.deviceRoot = tree.path() / "none";
    EXPECT_TRUE(VolumeEnumerator::mountedVolumes(bare).empty()); // nothing has a UUID
}

// Without udev (a container, a minimal system) there are no /dev/disk links: the file
// system's own UUID and label are read from the device, read-only.
TEST_F(VolumeEnumeratorTests, WithoutUdevLinksTheDeviceItselfSaysWhoItIs) {
    if (std::system("command -v mkfs.ext4 >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs mkfs.ext4";
    const DeviceTree bare(
        {{"sdz1", "65:145", "pci0000:00/0000:00:14.0/usb3/3-1/3-1:1.0/host9/block/sdz/sdz1", true,
          true, "", ""}});
    const fs::path node = bare.dev() / "sdz1";
    const std::string make = "truncate -s 4M '" + node.string() +
                             "' && mkfs.ext4 -q -F -U 6f1c2a9e-4b7d-4e3a-9c5f-0d8e2b1a7c64 "
                             "-L Probed '" +
                             node.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::ofstream(bare.path() / "mountinfo")
        << "60 1 65:145 / /media/ann/Probed rw,relatime - ext4 /dev/sdz1 rw\n"
        << "61 1 65:146 / /media/ann/Nothing rw,relatime - ext4 /dev/sdz2 rw\n";
    auto s = files.sources(bare, bare.path() / "mountinfo");
    const auto volumes = VolumeEnumerator::mountedVolumes(s);
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].uuid, "6f1c2a9e-4b7d-4e3a-9c5f-0d8e2b1a7c64");
    EXPECT_EQ(volumes[0].name, "Probed");
    EXPECT_EQ(volumes[0].mountPath, "/media/ann/Probed");
    EXPECT_FALSE(volumes[0].isInternal);
}

TEST_F(VolumeEnumeratorTests, VolumeRootsAreListedOnceUntilForgotten) {
    VolumeEnumerator::warmProbes(sources);
    auto afterWarm = *files.listings;
    EXPECT_EQ(afterWarm.at("/run/media/ana/Archive"), 1);
    EXPECT_EQ(afterWarm.at("/mnt/Zip"), 1);
    VolumeEnumerator::mountedVolumes(sources);
    EXPECT_EQ(*files.listings, afterWarm);

    // Remounted elsewhere: the key holds the mount path, so the new place is probed.
    TempDir dir;
    std::ofstream(dir / "moved.mountinfo")
        << "41 31 8:33 / /run/media/ana/Elsewhere rw - exfat /dev/sdc1 rw\n";
    auto moved = sources;
    moved.mountTable = dir / "moved.mountinfo";
    auto volumes = VolumeEnumerator::mountedVolumes(moved);
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(files.listings->at("/run/media/ana/Elsewhere"), 1);

    VolumeEnumerator::forgetProbes();
    VolumeEnumerator::mountedVolumes(sources);
    EXPECT_EQ(files.listings->at("/run/media/ana/Archive"), 2);
}

TEST_F(VolumeEnumeratorTests, WithoutProbingNoRootIsListed) {
    VolumeEnumerator::setProbesVolumeRoots(false);
    EXPECT_FALSE(VolumeEnumerator::probesVolumeRoots());
    for (const auto& volume : VolumeEnumerator::mountedVolumes(sources))
        EXPECT_FALSE(volume.isTimeMachineDestination) << volume.mountPath;
    EXPECT_TRUE(files.listings->empty());
}

TEST(MountTableTests, ParsesFieldsAndSkipsMalformedLines) {
    auto entries = MountTable::parse(
        "36 35 98:0 /mnt1 /mnt/my\\040disk rw,noatime master:1 shared:7 - ext3 /dev/root "
        "rw,errors=continue\n"
        "\n"
        "x 35 98:0 / /a rw - ext4 /dev/a rw\n"
        "37 35 98 / /b rw - ext4 /dev/b rw\n"
        "38 35 8:1 / /c rw ext4 /dev/c rw\n"
        "39 35 8:2 / relative rw - ext4 /dev/d rw\n"
        "40 35 0:44 / /e\\134x rw - tmpfs tmpfs rw");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (MountEntry{36,
                                      35,
                                      98,
                                      0,
                                      "/mnt1",
                                      "/mnt/my disk",
                                      "ext3",
                                      "/dev/root",
                                      {"rw", "errors=continue"}}));
    EXPECT_EQ(entries[1].mountPoint, "/e\\x");
    EXPECT_TRUE(MountTable::read(fixtures / "missing").empty());
    EXPECT_EQ(MountTable::read(fixtures / "desktop.mountinfo").size(), 19u);
}

TEST(MountTableTests, SuperOptionsAreSplitBeforeUnescaping) {
    auto entries = MountTable::parse("28 1 0:25 /@a,b /x rw - btrfs /dev/sda3 "
                                     "rw,,subvol=/@a\\054b\\040c,flag,subvolid=256\n");
    ASSERT_EQ(entries.size(), 1u);
    const MountEntry& entry = entries[0];
    EXPECT_EQ(entry.superOptions,
              (std::vector<std::string>{"rw", "subvol=/@a,b c", "flag", "subvolid=256"}));
    EXPECT_EQ(entry.superOption("subvol"), "/@a,b c");
    EXPECT_EQ(entry.superOption("flag"), "");
    EXPECT_EQ(entry.superOption("subvolid"), "256");
    EXPECT_EQ(entry.superOption("sub"), std::nullopt);
}

// The devices of the btrfs fixtures (one tree, built once).
const DeviceTree& btrfsTree() {
    static const DeviceTree tree({
        {"sda3", "8:3", "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda3",
         true, false, "3f1c9e2a-6b7d-4e08-a5c2-91d4e0b7f6a3", ""},
        {"sda2", "8:2", "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda2",
         true, false, "5C1A-9E3F", ""},
        {"nvme0n1p3", "259:3", "pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p3", true, false,
         "e4b2c7d1-0a9f-4c3e-8b51-7d2f6a0c9e84", "fedora"},
        {"nvme0n1p2", "259:2", "pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p2", true, false,
         "a9d04f6e-2c1b-4e7a-9f38-5b0c1d2e3f40", ""},
        {"nvme0n1p1", "259:1", "pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p1", true, false,
         "7B2E-1C4D", ""},
        {"vda2", "254:2", "pci0000:00/0000:00:04.0/virtio2/block/vda/vda2", true, false,
         "c2a8f1e0-5d3b-4a79-b6e4-0f9d8c7b6a51", ""},
        {"vda1", "254:1", "pci0000:00/0000:00:04.0/virtio2/block/vda/vda1", true, false,
         "3E4F-5A6B", ""},
        {"sdc1", "8:33", "pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sdc/sdc1",
         true, false, "0d6e8f2a-4b1c-4d3e-9a7f-6c5b4a3d2e1f", ""},
        {"sdd1", "8:49", "pci0000:00/0000:00:17.0/ata4/host3/target3:0:0/3:0:0:0/block/sdd/sdd1",
         true, false, "9f8e7d6c-5b4a-4392-8170-6f5e4d3c2b1a", "Data"},
        {"sde1", "8:65", "pci0000:00/0000:00:17.0/ata5/host4/target4:0:0/4:0:0:0/block/sde/sde1",
         true, false, "1a2b3c4d-5e6f-4a7b-8c9d-0e1f2a3b4c5d", ""},
    });
    return tree;
}

TEST_F(VolumeEnumeratorTests, BtrfsSubvolumesAreVolumesAndBindMountsAreNot) {
    const DeviceTree& devices = btrfsTree();
    FakeFiles none;
    // Default installs mount "/" and "/home" as subvolumes of one file system: one volume.
    const std::pair<const char*, MountedVolume> installs[] = {
        {"ubuntu-btrfs.mountinfo",
         {"3f1c9e2a-6b7d-4e08-a5c2-91d4e0b7f6a3", "/", "/", std::nullopt, true, false, "sda3"}},
        {"fedora.mountinfo",
         {"e4b2c7d1-0a9f-4c3e-8b51-7d2f6a0c9e84", "/", "fedora", std::nullopt, true, false,
          "nvme0n1p3"}},
        {"opensuse.mountinfo",
         {"c2a8f1e0-5d3b-4a79-b6e4-0f9d8c7b6a51", "/", "/", std::nullopt, true, false, "vda2"}},
    };
    for (const auto& [table, root] : installs) {
        EXPECT_EQ(VolumeEnumerator::mountedVolumes(none.sources(devices, fixtures / table)),
                  std::vector<MountedVolume>{root})
            << table;
    }

    // Alone on their file systems: a subvolume counts, a subtree does not.
    TempDir dir;
    std::ofstream(dir / "binds.mountinfo")
        << "60 1 0:30 /@home/ana/shared /srv/shared rw - btrfs /dev/sdc1 rw,subvol=/@home\n"
           "61 1 0:31 /@data /media/ana/Data rw - btrfs /dev/sdd1 rw,subvolid=300,subvol=/@data\n"
           "62 1 0:32 /data /mnt/unsaid rw - btrfs /dev/sde1 rw,space_cache=v2\n"
           "63 1 8:3 /@ /mnt/ext4-subtree rw - ext4 /dev/sda3 rw,subvol=/@\n";
    const std::vector<MountedVolume> alone{{"9f8e7d6c-5b4a-4392-8170-6f5e4d3c2b1a",
                                            "/media/ana/Data", "Data", std::nullopt, true, false,
                                            "sdd1"}};
    EXPECT_EQ(VolumeEnumerator::mountedVolumes(none.sources(devices, dir / "binds.mountinfo")),
              alone);
}

TEST(FilesystemEstimateTests, CountsEachLocalDeviceOnce) {
    std::map<std::string, FileSystemStats> stats = {
        {"/", {0, 1000, 400}},
        {"/run", {0, 500, 300}},
        {"/tmp", {0, 500, 499}},
        {"/run/media/ana/Backup", {0, 70, 20}},
        {"/mnt/backup-again", {0, 70, 20}}, // the same device again
        {"/mnt/pool", {0, 0, 0}},           // no inode counts
        {"/mnt/share", {0, 9000, 0}},       // network
        {"/proc", {0, 9000, 0}},            // kernel
    };
    auto samples = FilesystemEstimate::mountedVolumes(
        fixtures / "desktop.mountinfo",
        [&](const std::string& at) -> std::optional<FileSystemStats> {
            auto found = stats.find(at);
            if (found == stats.end()) return std::nullopt;
            return found->second;
        });
    using Sample = FilesystemEstimate::VolumeSample;
    EXPECT_EQ(samples, (std::vector<Sample>{{"/", 600, true},
                                            {"/run", 200, true},
                                            {"/tmp", 1, true},
                                            {"/run/media/ana/Backup", 50, true}}));
    EXPECT_EQ(FilesystemEstimate::usedInodes([&] { return samples; }), 851);
    EXPECT_EQ(FilesystemEstimate::usedInodes([] { return std::vector<Sample>{}; }), std::nullopt);
    EXPECT_EQ(FilesystemEstimate::usedInodes([] {
                  return std::vector<Sample>{{"/", 0, true}};
              }),
              std::nullopt);
}

} // namespace
} // namespace ulmaro
