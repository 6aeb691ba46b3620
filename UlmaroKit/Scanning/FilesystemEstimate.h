#pragma once

#include "UlmaroKit/Platform/FileSystemStats.h"
#include "UlmaroKit/Platform/MountTable.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// Estimates how many files a full scan will meet, from the used inodes of the local file
/// systems, so a first scan can show a percentage before any scan has been measured.
struct FilesystemEstimate {
    struct VolumeSample {
        std::string mountPoint;
        std::int64_t usedInodes = 0;
        bool isLocal = false;

        friend bool operator==(const VolumeSample&, const VolumeSample&) = default;
    };
    using StatFileSystem = std::function<std::optional<FileSystemStats>(const std::string&)>;

    /// One sample per local file system with at least one used inode, in mount-table order.
    /// Local: a file system a scan enters (not network, kernel or layered). A device mounted
    /// at several places (same device number) counts once.
    static std::vector<VolumeSample>
    mountedVolumes(const std::filesystem::path& mountTable = MountTable::systemPath,
                   const StatFileSystem& statFileSystem = FileSystemStats::of);

    /// The sum of `usedInodes` over the samples `now` gives; absent when there are none or
    /// the sum is below 1.
    static std::optional<std::int64_t>
    usedInodes(const std::function<std::vector<VolumeSample>()>& now);
    static std::optional<std::int64_t> usedInodes() {
        return usedInodes([] { return mountedVolumes(); });
    }
};

} // namespace ulmaro
