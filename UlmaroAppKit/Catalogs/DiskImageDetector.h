#pragma once

#include "UlmaroKit/Scanning/VolumeEnumerator.h"

#include <map>
#include <optional>
#include <string>

namespace ulmaro {

/// Whether a mounted volume is backed by a disk image (a loop or network block device
/// somewhere below it), so that it is never offered for cataloguing. Every failure answers
/// false: the volume is then an ordinary drive.
struct DiskImageDetector {
    /// What is known of the device below a volume, by key: "DeviceModel",
    /// "DeviceProtocol" and "MediaPath" (the resolved sysfs path). Absent keys are unknown.
    using Description = std::map<std::string, std::string>;

    static bool isDiskImage(const std::string& mountPath, const VolumeSources& sources = {});
    static bool isDiskImage(const Description& description);

    /// The descriptions of the disks below a block device (`sys/class/block/<name>`): the
    /// whole disk of a partition, and through `slaves/` of dm and md devices, every disk
    /// beneath them.
    static std::vector<Description> describe(const std::string& deviceName,
                                             const std::filesystem::path& sysRoot);
};

} // namespace ulmaro
