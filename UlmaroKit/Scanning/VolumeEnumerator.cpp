#include "UlmaroKit/Scanning/VolumeEnumerator.h"

#include "UlmaroKit/Platform/BlockDevices.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <set>

namespace ulmaro {
namespace {

// Answers of the Time Machine test, by "UUID|mount path". The listing runs outside the lock,
// so a slow volume never holds up other callers; two callers that miss at once may both list.
class ProbeCache {
public:
    bool value(const std::string& key, const std::function<bool()>& compute) {
        {
            std::lock_guard guard(lock_);
            if (auto found = answers_.find(key); found != answers_.end()) return found->second;
        }
        bool answer = compute();
        std::lock_guard guard(lock_);
        answers_[key] = answer;
        return answer;
    }
    void forget() {
        std::lock_guard guard(lock_);
        answers_.clear();
    }
    bool mayProbe() {
        std::lock_guard guard(lock_);
        return mayProbe_;
    }
    void setMayProbe(bool allowed) {
        std::lock_guard guard(lock_);
        mayProbe_ = allowed;
    }

private:
    std::mutex lock_;
    std::map<std::string, bool> answers_;
    bool mayProbe_ = true;
};

ProbeCache& probeCache() {
    static ProbeCache cache;
    return cache;
}

bool isAtOrBelow(std::string_view path, std::string_view folder) {
    return path == folder || (path.starts_with(folder) && path[folder.size()] == '/');
}

// The counterpart of a volume that is hidden from the user.
bool isBrowsable(const MountEntry& mount) {
    if (!mount.showsWholeFileSystem()) return false; // a bind mount of a subtree
    const std::string& at = mount.mountPoint;
    if (isAtOrBelow(at, "/run")) return isAtOrBelow(at, "/run/media") && at != "/run/media";
    for (std::string_view system : {"/proc", "/sys", "/dev", "/boot", "/snap"}) {
        if (isAtOrBelow(at, system)) return false;
    }
    return true;
}

std::string lastComponent(const std::string& path) {
    auto end = path.find_last_not_of('/');
    if (end == std::string::npos) return path; // "/"
    auto start = path.find_last_of('/', end);
    return path.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

} // namespace

std::vector<MountedVolume> VolumeEnumerator::mountedVolumes(const Sources& sources) {
    auto mounts = MountTable::read(sources.mountTable);
    if (mounts.empty()) return {};
    BlockDevices devices(sources.deviceRoot, sources.sysRoot);
    bool mayProbe = probesVolumeRoots();
    std::vector<MountedVolume> volumes;
    std::set<std::string> uuids;
    for (const auto& mount : mounts) {
        // Network, kernel and layered file systems: not local, or nothing a user browses.
        if (ScanPolicy::isUnenterableFileSystem(mount.fileSystemType)) continue;
        if (!isBrowsable(mount)) continue;
        auto device = devices.deviceName(mount);
        if (!device) continue;
        auto uuid = devices.uuid(*device);
        if (!uuid || !uuids.insert(*uuid).second) continue;

        MountedVolume volume;
        volume.uuid = *uuid;
        volume.mountPath = mount.mountPoint;
        volume.name = devices.label(*device).value_or(lastComponent(mount.mountPoint));
        if (auto stats = sources.statFileSystem(mount.mountPoint)) {
            constexpr auto most =
                static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
            volume.totalBytes = static_cast<std::int64_t>(std::min(stats->totalBytes, most));
        }
        volume.isInternal = devices.isInternal(*device);
        volume.device = *device;
        if (!volume.isBootVolume() && mayProbe) {
            volume.isTimeMachineDestination =
                probeCache().value(volume.uuid + "|" + volume.mountPath, [&] {
                    return ScanPolicy::isTimeMachineDestinationAt(volume.mountPath,
                                                                  sources.listFolder);
                });
        }
        volumes.push_back(std::move(volume));
    }
    std::stable_sort(volumes.begin(), volumes.end(), [](const auto& a, const auto& b) {
        if (a.isBootVolume() != b.isBootVolume()) return a.isBootVolume();
        return a.mountPath < b.mountPath; // bytes: code-point order for UTF-8
    });
    return volumes;
}

std::vector<MountedVolume> VolumeEnumerator::externalVolumes(const Sources& sources) {
    auto volumes = mountedVolumes(sources);
    std::erase_if(volumes, [](const MountedVolume& v) { return v.isBootVolume(); });
    return volumes;
}

bool VolumeEnumerator::probesVolumeRoots() {
    return probeCache().mayProbe();
}

void VolumeEnumerator::setProbesVolumeRoots(bool allowed) {
    probeCache().setMayProbe(allowed);
}

void VolumeEnumerator::forgetProbes() {
    probeCache().forget();
}

void VolumeEnumerator::warmProbes(const Sources& sources) {
    (void)mountedVolumes(sources);
}

} // namespace ulmaro
