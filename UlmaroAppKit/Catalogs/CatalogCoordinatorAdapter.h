#pragma once

#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"

#include <memory>

namespace ulmaro {

/// The catalog coordinator behind the application coordinator's `CatalogCoordinating`: the
/// operations go through, and the coordinator's reports and questions go to the callbacks
/// the application installs on this object. Main thread only.
class CatalogCoordinatorAdapter final : public CatalogCoordinating {
public:
    struct Platform {
        MainQueue& mainQueue;
        const Clock& clock;
        SerialQueueFactory& queues;
        TimerService& timers;
        /// Where other volumes are mounted (`DriveOffer`).
        ScanPolicy::PathSet otherVolumeFolders = ScanPolicy::otherVolumeFolders();
    };

    /// A catalog older than this is rescanned at start-up.
    static constexpr double staleAfter = 86400;

    CatalogCoordinatorAdapter(CatalogLibrary& library, std::shared_ptr<Preferences> preferences,
                              VolumeEvents& events, CatalogCoordinator::MountedVolumes volumes,
                              Platform platform);

    CatalogCoordinator& coordinator() const { return *coordinator_; }

    void start() override { coordinator_->start(); }
    void startWatchingVolumes() override { coordinator_->startWatchingVolumes(); }
    void startLiveUpdates() override { coordinator_->startLiveUpdates(); }
    void rescanAllOnline() override { coordinator_->rescanAllOnline(); }
    CatalogCoordinator::AddResult catalogDrive(const MountedVolume& volume) override {
        return coordinator_->catalogDrive(volume);
    }
    bool wantsPrompt(const MountedVolume& volume) const override {
        return coordinator_->wantsPrompt(volume);
    }
    std::vector<MountedVolume> mountedVolumes() const override {
        return coordinator_->mountedVolumes()();
    }
    std::vector<CatalogInfo> pendingNew() const override { return coordinator_->pendingNew(); }
    bool isScanning(const std::string& id) const override { return coordinator_->isScanning(id); }

private:
    std::shared_ptr<Preferences> preferences_;
    std::unique_ptr<CatalogCoordinator> coordinator_;
};

} // namespace ulmaro
