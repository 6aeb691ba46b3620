#pragma once

#include "UlmaroKit/Platform/MountTable.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace ulmaro {

/// What udev and sysfs say about the block devices: file-system UUIDs and labels
/// (/dev/disk/by-uuid, /dev/disk/by-label) and whether a disk is removable or on USB.
/// Where udev made no link (containers, systems without udev), libblkid reads the UUID and
/// label from the device itself, read-only, once per device and snapshot; a device node
/// we may not read simply has none. A snapshot: the link folders are read once, when the
/// value is made.
class BlockDevices {
public:
    /// `deviceRoot` stands for /dev and `sysRoot` for /sys.
    BlockDevices(std::filesystem::path deviceRoot, std::filesystem::path sysRoot);

    /// The kernel's name ("sda1", "dm-0", "loop0") of the device numbered major:minor.
    std::optional<std::string> deviceName(unsigned major, unsigned minor) const;
    /// The kernel's name of the device holding a mounted file system: by the mount's device
    /// number, else by its source path (btrfs and some others report an anonymous number).
    std::optional<std::string> deviceName(const MountEntry& mount) const;

    std::optional<std::string> uuid(const std::string& deviceName) const;
    std::optional<std::string> label(const std::string& deviceName) const;
    /// Neither removable nor on a USB bus; false when sysfs does not know the device.
    bool isInternal(const std::string& deviceName) const;

private:
    struct Identity {
        std::optional<std::string> uuid;
        std::optional<std::string> label;
    };
    /// The device's own word, by libblkid.
    const Identity& probed(const std::string& deviceName) const;

    std::filesystem::path deviceRoot_;
    std::filesystem::path sysRoot_;
    std::map<std::string, std::string> uuids_;  // device name → UUID
    std::map<std::string, std::string> labels_; // device name → label
    mutable std::map<std::string, Identity> probes_;
};

} // namespace ulmaro
