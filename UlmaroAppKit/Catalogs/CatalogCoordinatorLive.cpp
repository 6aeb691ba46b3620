#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroKit/Scanning/VolumeEnumerator.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace ulmaro {
void CatalogCoordinator::start() {
    sweepTemporary();
    library_.reloadAll();
    library_.updateMounted(mountedVolumes_());
    syncWatchers();
    const WallTime now = clock_.now();
    std::vector<std::string> stale;
    for (const auto& entry : library_.entries()) {
        if (!entry.isOnline() || !scansFiles(entry.info)) continue;
        const auto& catalogued = entry.info.lastCatalogued;
        if (CatalogLibrary::fileExists(library_.layout().markerURL(entry.id())) || !catalogued ||
            Seconds(now - *catalogued) >= Seconds(staleAfter_))
            stale.push_back(entry.id());
    }
    for (const auto& id : stale)
        rescan(id);
    promptForAttachedDrives();
}

void CatalogCoordinator::startWatchingVolumes() {
    if (volumeWatcher_) return;
    if (makeVolumeWatcher_) {
        volumeWatcher_ = makeVolumeWatcher_();
    } else {
        if (!volumeEvents_) throw std::logic_error("watching volumes needs their events");
        VolumeEvents& events = *volumeEvents_;
        volumeWatcher_ =
            std::make_unique<VolumeWatcher>(events, [&events] { return events.volumes(); });
    }
    std::weak_ptr<CatalogCoordinator*> weak = self_;
    volumeWatcher_->onMount = [weak](const MountedVolume& volume) {
        if (auto self = weak.lock()) {
            VolumeEnumerator::forgetProbes();
            (*self)->handleMount(volume);
        }
    };
    volumeWatcher_->onWillUnmount = [weak](const std::string& path) {
        if (auto self = weak.lock()) (*self)->handleWillUnmount(path);
    };
    volumeWatcher_->onUnmount = [weak](const std::string& path) {
        if (auto self = weak.lock()) {
            VolumeEnumerator::forgetProbes();
            (*self)->handleUnmount(path);
        }
    };
    volumeWatcher_->start();
}

std::vector<std::string> CatalogCoordinator::scannedCatalogsOf(const std::string& uuid) const {
    std::vector<std::string> ids;
    for (const auto& entry : library_.entries())
        if (entry.info.volumeUUID == uuid && scansFiles(entry.info)) ids.push_back(entry.id());
    return ids;
}

void CatalogCoordinator::handleMount(const MountedVolume& volume) {
    library_.updateMounted(mountedVolumes_());
    syncWatchers();
    if (scannedCatalogsOf(volume.uuid).empty()) {
        if (wantsPrompt(volume) && onPromptForDrive) onPromptForDrive(volume);
        return;
    }
    if (!timers_) return mountSettled(volume.uuid);
    // A drive plugged in and ejected at once must never meet a scan: its catalogs are
    // rescanned once it has stayed a moment, and leaving before drops the rescan.
    std::weak_ptr<CatalogCoordinator*> weak = self_;
    mountRescans_[volume.uuid] =
        timers_->scheduleOnce(mountSettleDelay, [weak, uuid = volume.uuid] {
            if (auto self = weak.lock()) (*self)->mountSettled(uuid);
        });
}

void CatalogCoordinator::mountSettled(const std::string& uuid) {
    mountRescans_.erase(uuid);
    for (const auto& id : scannedCatalogsOf(uuid))
        rescan(id);
}

void CatalogCoordinator::handleWillUnmount(const std::string& mountPath) {
    std::set<std::string> leaving;
    for (const auto& volume : mountedVolumes_())
        if (volume.mountPath == mountPath) leaving.insert(volume.uuid);
    if (running_ && running_->volume.mountPath == mountPath) {
        leaving.insert(running_->volume.uuid);
        running_->flag->cancel();
    }
    for (const auto& uuid : leaving)
        mountRescans_.erase(uuid);
    std::vector<std::string> dropped;
    std::erase_if(pending_, [&](const Job& job) {
        if (!leaving.contains(job.info.volumeUUID)) return false;
        dropped.push_back(job.info.id);
        return true;
    });
    for (const auto& id : dropped)
        dropNew(id);
    changed();
}

void CatalogCoordinator::handleUnmount(const std::string& mountPath) {
    const auto volumes = mountedVolumes_();
    std::erase_if(mountRescans_, [&](const auto& waiting) {
        return std::none_of(volumes.begin(), volumes.end(),
                            [&](const MountedVolume& v) { return v.uuid == waiting.first; });
    });
    library_.updateMounted(volumes);
    syncWatchers();
    if (onVolumeUnmounted) onVolumeUnmounted(mountPath);
}

void CatalogCoordinator::startLiveUpdates() {
    if (!makeWatcher) makeWatcher = defaultWatcherMaker();
    syncWatchers();
    if (refreshTimer_) return;
    if (!timers_) throw std::logic_error("live updates need a timer service");
    std::weak_ptr<CatalogCoordinator*> weak = self_;
    refreshTimer_ = timers_->scheduleRepeating(checkInterval, [weak] {
        if (auto self = weak.lock()) (*self)->considerRescans();
    });
}

CatalogCoordinator::WatcherMaker CatalogCoordinator::defaultWatcherMaker() {
    return [this](const std::string& root, CatalogWatching::Handler handler) {
        return CatalogWatching::fileSystem(root, std::move(handler),
                                           CatalogWatching::watchShare(onlineRoots_));
    };
}

void CatalogCoordinator::syncWatchers() {
    if (!makeWatcher) return;
    std::map<std::string, std::string> wanted;
    for (const auto& entry : library_.entries())
        if (entry.currentRoot) wanted.emplace(entry.id(), *entry.currentRoot);
    for (auto it = watchers_.begin(); it != watchers_.end();) {
        auto want = wanted.find(it->first);
        if (want != wanted.end() && want->second == it->second.root) {
            ++it;
            continue;
        }
        it->second.watcher->stop();
        changes_.erase(it->first);
        it = watchers_.erase(it);
    }
    onlineRoots_ = wanted.size();
    const std::string catalogsRoot = library_.layout().root().string();
    std::weak_ptr<CatalogCoordinator*> weak = self_;
    for (const auto& [id, root] : wanted) {
        if (watchers_.contains(id)) continue;
        auto handler = [weak, &mainQueue = mainQueue_, id = id,
                        catalogsRoot](const FileSystemWatcherSignal& signal) {
            if (!isRelevant(signal, catalogsRoot)) return;
            mainQueue.post([weak, id] {
                if (auto self = weak.lock()) (*self)->noteChange(id);
            });
        };
        auto watcher = makeWatcher(root, std::move(handler));
        watcher->start();
        watchers_.emplace(id, Watched{root, std::move(watcher)});
    }
}

void CatalogCoordinator::noteChange(const std::string& id) {
    if (!watchers_.contains(id)) return; // a late signal of a watcher already dropped
    const WallTime now = clock_.now();
    auto found = changes_.find(id);
    changes_[id] = Change{now, found == changes_.end() ? now : found->second.since};
}

void CatalogCoordinator::considerRescans() {
    const WallTime now = clock_.now();
    const auto snapshot = changes_;
    for (const auto& [id, change] : snapshot) {
        auto last = lastAutoRescan_.find(id);
        if (last != lastAutoRescan_.end() && Seconds(now - last->second) < floor) continue;
        if (Seconds(now - change.last) < quietPeriod && Seconds(now - change.since) < ceiling)
            continue;
        changes_.erase(id);
        lastAutoRescan_[id] = now;
        rescan(id);
    }
}

} // namespace ulmaro
