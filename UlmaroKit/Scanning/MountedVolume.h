#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ulmaro {

/// One mounted local volume.
struct MountedVolume {
    /// The file system's UUID (/dev/disk/by-uuid); never empty.
    std::string uuid;
    /// Where the volume is mounted; "/" for the startup volume.
    std::string mountPath;
    /// The file system's label, else the last component of the mount path.
    std::string name;
    /// Capacity in bytes; absent when the file system gives none.
    std::optional<std::int64_t> totalBytes;
    /// Neither removable nor on USB, as sysfs says; false when it says nothing.
    bool isInternal = false;
    /// The top level looks like a Time Machine backup disk (always false for "/").
    bool isTimeMachineDestination = false;
    /// The kernel's name of the block device it is mounted from ("sdb1", "dm-0"); empty
    /// when not known.
    std::string device = {};

    bool isBootVolume() const { return mountPath == "/"; }

    friend bool operator==(const MountedVolume&, const MountedVolume&) = default;
};

} // namespace ulmaro
