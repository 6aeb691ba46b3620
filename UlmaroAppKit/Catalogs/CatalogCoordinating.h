#pragma once

#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <functional>
#include <string>
#include <vector>

namespace ulmaro {

/// The catalog pipeline as the application coordinator wires and drives it: started once
/// after the one-time migration, told about onboarding and disk images, and asked to offer
/// and catalog drives. Main thread only.
class CatalogCoordinating {
public:
    virtual ~CatalogCoordinating() = default;

    /// After every change of the queue or of the published state.
    std::function<void()> onChange;
    /// Offers a drive for cataloguing.
    std::function<void(const MountedVolume&)> onPromptForDrive;
    /// A drive went away: its offer is withdrawn.
    std::function<void(const std::string& mountPath)> onVolumeUnmounted;
    std::function<bool(const MountedVolume&)> isDiskImage = [](const MountedVolume&) {
        return false;
    };
    std::function<bool()> isOnboardingShowing = [] { return false; };

    /// Loads the library, rescans what needs it and offers the attached drives.
    virtual void start() = 0;
    virtual void startWatchingVolumes() = 0;
    virtual void startLiveUpdates() = 0;
    virtual void rescanAllOnline() = 0;
    /// A new whole-drive catalog, unless one already covers the drive.
    virtual CatalogCoordinator::AddResult catalogDrive(const MountedVolume& volume) = 0;
    virtual bool wantsPrompt(const MountedVolume& volume) const = 0;
    virtual std::vector<MountedVolume> mountedVolumes() const = 0;
    /// New catalogs queued or scanning, not yet in the library, in queue order.
    virtual std::vector<CatalogInfo> pendingNew() const = 0;
    /// Whether the running job is the catalog `id`.
    virtual bool isScanning(const std::string& id) const = 0;
};

} // namespace ulmaro
