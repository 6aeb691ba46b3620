#include "UlmaroKit/Scanning/FilesystemEstimate.h"

#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <limits>
#include <set>
#include <utility>

namespace ulmaro {

std::vector<FilesystemEstimate::VolumeSample>
FilesystemEstimate::mountedVolumes(const std::filesystem::path& mountTable,
                                   const StatFileSystem& statFileSystem) {
    std::vector<VolumeSample> samples;
    std::set<std::pair<std::uint32_t, std::uint32_t>> devices;
    for (const auto& mount : MountTable::read(mountTable)) {
        if (ScanPolicy::isUnenterableFileSystem(mount.fileSystemType)) continue;
        // Every tmpfs has the source "tmpfs": the device number tells mounts apart.
        if (!devices.insert({mount.major, mount.minor}).second) continue;
        auto stats = statFileSystem(mount.mountPoint);
        if (!stats || stats->freeNodes >= stats->totalNodes) continue;
        auto used = stats->totalNodes - stats->freeNodes;
        constexpr auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        samples.push_back(
            {mount.mountPoint, static_cast<std::int64_t>(std::min(used, most)), true});
    }
    return samples;
}

std::optional<std::int64_t>
FilesystemEstimate::usedInodes(const std::function<std::vector<VolumeSample>()>& now) {
    std::int64_t sum = 0;
    for (const auto& sample : now()) {
        if (sample.usedInodes > 0 &&
            sum > std::numeric_limits<std::int64_t>::max() - sample.usedInodes)
            return std::numeric_limits<std::int64_t>::max();
        sum += sample.usedInodes;
    }
    if (sum < 1) return std::nullopt;
    return sum;
}

} // namespace ulmaro
