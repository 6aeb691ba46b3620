#include "UlmaroAppKit/Catalogs/DiskImageDetector.h"
#include "support/DeviceTree.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using test::DeviceTree;

TEST(DiskImageDetector, Descriptions) {
    using D = DiskImageDetector::Description;
    struct Case {
        D description;
        bool expected;
    };
    const Case cases[] = {
        {{{"DeviceModel", "Apple DISK IMAGE"}}, true},
        {{{"DeviceProtocol", "Virtual Interface"}}, true},
        {{{"MediaPath", "/x/IOHDIXController/y"}}, true},
        {{{"MediaPath", "/x/DiskImage/y"}}, true},
        {{{"MediaPath", "/x/disk image/y"}}, false},
        {{{"DeviceModel", "Samsung SSD"}, {"DeviceProtocol", "USB"}}, false},
        {{}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DiskImageDetector::isDiskImage(c.description), c.expected);
}

// Each mount below stands on a device of the tree; dm and md devices stack on others.
TEST(DiskImageDetector, FollowsSysfsToTheDisksBelowAMount) {
    const std::vector<DeviceTree::Device> devices = {
        {"loop0", "7:0", "virtual/block/loop0", false, false, "u-loop", ""},
        {"loop1", "7:1", "virtual/block/loop1", false, false, "", ""},
        {"loop1p1", "259:8", "virtual/block/loop1/loop1p1", true, false, "u-looppart", ""},
        {"dm-0", "254:0", "virtual/block/dm-0", false, false, "u-luks-image", ""},
        {"loop2", "7:2", "virtual/block/loop2", false, false, "", ""},
        {"nbd0", "43:0", "virtual/block/nbd0", false, false, "u-nbd", ""},
        {"dm-1", "254:1", "virtual/block/dm-1", false, false, "u-luks-usb", ""},
        {"sdb1", "8:17",
         "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb1", true,
         true, "", ""},
        {"sda1", "8:1", "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda1",
         true, false, "u-plain", ""},
    };
    DeviceTree tree(devices);
    tree.setBackingFile("loop0", "/home/ana/disk.img");
    tree.setBackingFile("loop1", "/home/ana/partitioned.img");
    tree.setBackingFile("loop2", "/home/ana/secret.img");
    tree.addSlave("dm-0", "loop2");
    tree.addSlave("dm-1", "sdb1");
    tree.setModel("sdb1", "Flash Drive");
    tree.setModel("sda1", "Samsung SSD");

    auto table = tree.path() / "mountinfo";
    std::ofstream(table) << "30 1 7:0 / /mnt/image rw - ext4 /dev/loop0 rw\n"
                            "31 1 259:8 / /mnt/part rw - ext4 /dev/loop1p1 rw\n"
                            "32 1 254:0 / /mnt/luks rw - ext4 /dev/mapper/secret rw\n"
                            "33 1 43:0 / /mnt/nbd rw - ext4 /dev/nbd0 rw\n"
                            "34 1 254:1 / /media/usb rw - ext4 /dev/mapper/usb rw\n"
                            "35 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                            "36 1 8:99 / /mnt/nosys rw - ext4 /dev/sdz1 rw\n";
    VolumeSources sources;
    sources.mountTable = table;
    sources.deviceRoot = tree.dev();
    sources.sysRoot = tree.sys();
    struct Case {
        std::string mountPath;
        bool expected;
    };
    const Case cases[] = {
        {"/mnt/image", true},  {"/mnt/part", true}, {"/mnt/luks", true},   {"/mnt/nbd", true},
        {"/media/usb", false}, {"/", false},        {"/mnt/nosys", false}, {"/not/mounted", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DiskImageDetector::isDiskImage(c.mountPath, sources), c.expected) << c.mountPath;

    VolumeSources noSys = sources;
    noSys.sysRoot = tree.path() / "absent";
    EXPECT_FALSE(DiskImageDetector::isDiskImage("/mnt/image", noSys));
}

} // namespace
} // namespace ulmaro
