#pragma once

#include "UlmaroKit/Platform/FileSystemStats.h"
#include "UlmaroKit/Platform/MountTable.h"
#include "UlmaroKit/Scanning/MountedVolume.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// Where the facts about volumes come from. The defaults read the running system; tests give
/// fixtures.
struct VolumeSources {
    std::filesystem::path mountTable = MountTable::systemPath;
    /// Stands for /dev (disk/by-uuid, disk/by-label).
    std::filesystem::path deviceRoot = "/dev";
    /// Stands for /sys (dev/block, class/block).
    std::filesystem::path sysRoot = "/sys";
    std::function<std::optional<FileSystemStats>(const std::string& mountPoint)> statFileSystem =
        FileSystemStats::of;
    /// Lists a volume's top level for the Time Machine test.
    ScanPolicy::DirectoryContents listFolder = ScanPolicy::listDirectory;
};

/// Lists the mounted local volumes, the startup volume first, and tells Time Machine backup
/// disks apart by their top level. A process-wide cache makes sure a volume root is listed
/// at most once until `forgetProbes()`. Every operation may be called from any thread.
///
/// A volume is a mount of a block-device file system with a UUID. Left out: file systems a
/// scan does not enter (network ones are not local; kernel and layered ones are nothing a user
/// browses), bind mounts of a subtree, and mounts under /proc, /sys, /dev, /run (but
/// /run/media), /boot and /snap. A btrfs subvolume mounted at its own root ("/@", "/@home")
/// is no bind mount.
/// The first mount of a UUID wins (subvolumes of one file system share its UUID).
class VolumeEnumerator {
public:
    using Sources = VolumeSources;

    static std::vector<MountedVolume> mountedVolumes(const Sources& sources = Sources{});
    /// `mountedVolumes` without the volume mounted at "/".
    static std::vector<MountedVolume> externalVolumes(const Sources& sources = Sources{});

    /// Whether volume roots may be listed for the Time Machine test (initially true).
    static bool probesVolumeRoots();
    static void setProbesVolumeRoots(bool allowed);
    /// Empties the cache of Time Machine answers (on a mount or an unmount).
    static void forgetProbes();
    /// Lists the volumes once, so that the cache holds an answer for each.
    static void warmProbes(const Sources& sources = Sources{});
};

} // namespace ulmaro
