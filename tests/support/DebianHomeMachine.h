#pragma once

#include "UlmaroKit/Scanning/VolumeEnumerator.h"
#include "support/DeviceTree.h"

#include <string>

namespace ulmaro::test {

/// A Debian 12 desktop installed with a separate /home partition: the EFI partition, "/" and
/// /home on the internal disk, a second internal disk mounted at /mnt/data from fstab, and a
/// USB stick that the desktop mounted at /media/ann/STICK. Its mount table is the fixture
/// "mountinfo/debian-home.mountinfo".
class DebianHomeMachine {
public:
    static constexpr const char* stickUUID = "4F2D-8E1A";

    VolumeSources sources() const {
        VolumeSources s;
        s.mountTable = std::string(ULMARO_FIXTURES_DIR) + "/mountinfo/debian-home.mountinfo";
        s.deviceRoot = devices_.dev();
        s.sysRoot = devices_.sys();
        s.statFileSystem = [](const std::string&) { return std::optional<FileSystemStats>(); };
        s.listFolder = [](const std::string&) { return std::optional<std::vector<std::string>>(); };
        return s;
    }

private:
    static constexpr const char* ata = "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0";
    static constexpr const char* ata2 = "pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0";
    static constexpr const char* usb =
        "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0";

    DeviceTree devices_{{
        {"sda1", "8:1", std::string(ata) + "/block/sda/sda1", true, false, "9A3C-11F2", ""},
        {"sda2", "8:2", std::string(ata) + "/block/sda/sda2", true, false,
         "5b2e9c1d-0f6a-4c3e-9d2b-7a1e8f4c6b90", ""},
        {"sda4", "8:4", std::string(ata) + "/block/sda/sda4", true, false,
         "c81f3a52-7e94-4d10-b6a3-2f5d9e8c1a47", ""},
        {"sdb1", "8:17", std::string(ata2) + "/block/sdb/sdb1", true, false,
         "e2a7b9c4-13d8-4f6e-a05b-9c4d2e7f8a31", "data"},
        {"sdc1", "8:33", std::string(usb) + "/block/sdc/sdc1", true, true, stickUUID, "STICK"},
    }};
};

} // namespace ulmaro::test
