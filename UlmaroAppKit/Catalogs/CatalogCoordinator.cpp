#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"

#include "UlmaroAppKit/Catalogs/CatalogPlacement.h"
#include "UlmaroAppKit/Catalogs/DriveOffer.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"
#include "UlmaroKit/Platform/FileSystemStats.h"
#include "UlmaroKit/Platform/MountTable.h"
#include "UlmaroKit/Platform/Uuid.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <algorithm>
#include <limits>
#include <sys/stat.h>

namespace ulmaro {
namespace {

std::optional<std::int64_t> saturated(std::uint64_t bytes) {
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(bytes, max));
}

} // namespace

CatalogCoordinator::CatalogCoordinator(CatalogLibrary& library, Preferences& preferences,
                                       MountedVolumes mountedVolumes, double staleAfter,
                                       Dependencies dependencies)
    : library_(library), preferences_(preferences), mountedVolumes_(std::move(mountedVolumes)),
      staleAfter_(staleAfter), mainQueue_(dependencies.mainQueue), clock_(dependencies.clock),
      scan_(dependencies.scan ? std::move(dependencies.scan) : ScanFunction(realScan)),
      capacity_(dependencies.capacity ? std::move(dependencies.capacity)
                                      : CapacityFunction(realCapacity)),
      freeSpace_(dependencies.freeSpace ? std::move(dependencies.freeSpace)
                                        : FreeSpaceFunction(realFreeSpace)),
      isMounted_(dependencies.isMounted ? std::move(dependencies.isMounted)
                                        : IsMounted(realIsMounted)),
      otherVolumeFolders_(std::move(dependencies.otherVolumeFolders)), timers_(dependencies.timers),
      volumeEvents_(dependencies.volumeEvents),
      makeVolumeWatcher_(std::move(dependencies.makeVolumeWatcher)),
      scanQueue_(dependencies.queues.makeQueue("app.ulmaro.catalog-scan", QueueQuality::utility)),
      queues_(dependencies.queues),
      temporaryRoot_(dependencies.temporaryRoot.empty() ? CatalogArchive::defaultTemporaryRoot()
                                                        : std::move(dependencies.temporaryRoot)),
      self_(std::make_shared<CatalogCoordinator*>(this)) {}

CatalogCoordinator::~CatalogCoordinator() {
    // A scan still running stops at its next check; its result finds no coordinator.
    if (running_) running_->flag->cancel();
}

bool CatalogCoordinator::scansFiles(const CatalogInfo& info) {
    return info.kind == CatalogInfo::Kind::drive || info.kind == CatalogInfo::Kind::folder;
}

std::vector<CatalogInfo> CatalogCoordinator::knownInfos() const {
    std::vector<CatalogInfo> infos = library_.infos();
    infos.insert(infos.end(), pendingNew().begin(), pendingNew().end());
    return infos;
}

bool CatalogCoordinator::wantsPrompt(const MountedVolume& volume) const {
    if (!DriveOffer::isOfferable(volume, otherVolumeFolders_) || isDiskImage(volume) ||
        volume.isTimeMachineDestination)
        return false;
    const auto declined = preferences_.declinedDriveUUIDs();
    if (std::find(declined.begin(), declined.end(), volume.uuid) != declined.end()) return false;
    const auto infos = knownInfos();
    if (std::any_of(infos.begin(), infos.end(),
                    [&](const CatalogInfo& info) { return info.volumeUUID == volume.uuid; }))
        return false;
    return !isOnboardingShowing();
}

CatalogCoordinator::AddResult CatalogCoordinator::catalogDrive(const MountedVolume& volume) {
    const auto infos = knownInfos();
    auto check = CatalogPlacement::check(volume.uuid, "", infos);
    if (check.conflict) return AlreadyCovered{check.conflict->name};
    preferences_.undeclineDrive(volume.uuid);

    CatalogInfo info;
    info.id = uuidString();
    info.kind = CatalogInfo::Kind::drive;
    info.volumeUUID = volume.uuid;
    info.name = volume.name;
    info.lastMountPath = volume.mountPath;
    info.capacityBytes = volume.totalBytes;
    std::string id = info.id;
    enqueue(Job{std::move(info), std::move(check.absorbs)}, true);
    return Started{std::move(id)};
}

void CatalogCoordinator::decline(const MountedVolume& volume) {
    preferences_.declineDrive(volume.uuid);
}

void CatalogCoordinator::rescanAllOnline() {
    std::vector<std::string> ids;
    for (const auto& entry : library_.entries())
        if (entry.isOnline()) ids.push_back(entry.id());
    for (const auto& id : ids) {
        // Each enqueue may run observers that change the library.
        const CatalogEntry* entry = library_.entry(id);
        if (!entry || !scansFiles(entry->info) || entry->info.volumeUUID.empty()) continue;
        enqueue(Job{entry->info, {}}, false);
    }
}

void CatalogCoordinator::promptForAttachedDrives() {
    for (const auto& volume : mountedVolumes_()) {
        if (volume.isBootVolume()) continue;
        if (wantsPrompt(volume) && onPromptForDrive) onPromptForDrive(volume);
    }
}

bool CatalogCoordinator::isScanning(const std::string& id) const {
    return running_ && running_->job.info.id == id;
}

void CatalogCoordinator::clearNotice() {
    if (!notice()) return;
    notice_.set(std::nullopt);
    changed();
}

CatalogScanner::Outcome
CatalogCoordinator::realScan(std::string_view root, std::string_view volumeUUID,
                             const std::filesystem::path& index, const ScanPolicy& policy,
                             const std::function<bool()>& shouldContinue,
                             const std::function<void(std::int64_t)>& onProgress) {
    return CatalogScanner::scan(root, volumeUUID, index, policy, AttributeFiller::Appetite::working,
                                shouldContinue, onProgress);
}

CatalogCoordinator::Space CatalogCoordinator::realCapacity(const std::string& mountPath) {
    auto stats = FileSystemStats::of(mountPath);
    if (!stats) return {};
    return {saturated(stats->totalBytes), saturated(stats->availableBytes)};
}

bool CatalogCoordinator::realIsMounted(const std::string& mountPath) {
    const auto mounts = MountTable::read();
    return std::any_of(mounts.begin(), mounts.end(),
                       [&](const MountEntry& mount) { return mount.mountPoint == mountPath; });
}

std::optional<std::int64_t> CatalogCoordinator::realFreeSpace(const std::filesystem::path& folder) {
    std::filesystem::path at = folder.empty() ? "." : folder;
    for (;;) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0) break;
        if (!at.has_relative_path() || at.parent_path() == at) return std::nullopt;
        at = at.parent_path();
    }
    auto stats = FileSystemStats::of(at.string());
    if (!stats) return std::nullopt;
    return saturated(stats->availableBytes);
}

std::filesystem::path CatalogCoordinator::stagingURL(const CatalogLayout& layout,
                                                     std::string_view id) {
    return layout.directory(id) / "index.bin.staging";
}

} // namespace ulmaro
