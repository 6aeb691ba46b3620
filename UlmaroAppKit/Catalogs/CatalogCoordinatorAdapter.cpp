#include "UlmaroAppKit/Catalogs/CatalogCoordinatorAdapter.h"

namespace ulmaro {

CatalogCoordinatorAdapter::CatalogCoordinatorAdapter(CatalogLibrary& library,
                                                     std::shared_ptr<Preferences> preferences,
                                                     VolumeEvents& events,
                                                     CatalogCoordinator::MountedVolumes volumes,
                                                     Platform platform)
    : preferences_(std::move(preferences)),
      coordinator_(std::make_unique<CatalogCoordinator>(
          library, *preferences_, std::move(volumes), staleAfter,
          CatalogCoordinator::Dependencies{.mainQueue = platform.mainQueue,
                                           .clock = platform.clock,
                                           .queues = platform.queues,
                                           .otherVolumeFolders =
                                               std::move(platform.otherVolumeFolders),
                                           .timers = &platform.timers,
                                           .volumeEvents = &events})) {
    // The coordinator lives inside this object, so its callbacks may hold `this`.
    coordinator_->onChange = [this] {
        if (onChange) onChange();
    };
    coordinator_->onPromptForDrive = [this](const MountedVolume& volume) {
        if (onPromptForDrive) onPromptForDrive(volume);
    };
    coordinator_->onVolumeUnmounted = [this](const std::string& mountPath) {
        if (onVolumeUnmounted) onVolumeUnmounted(mountPath);
    };
    coordinator_->isDiskImage = [this](const MountedVolume& volume) {
        return isDiskImage && isDiskImage(volume);
    };
    coordinator_->isOnboardingShowing = [this] {
        return isOnboardingShowing && isOnboardingShowing();
    };
}

} // namespace ulmaro
