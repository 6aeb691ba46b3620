#include "UlmaroAppKit/Catalogs/VolumeWatcher.h"

namespace ulmaro {

void VolumeWatcher::start() {
    if (isRunning()) return;
    observers_.push_back(
        events_.onDidMount([this](const MountedVolume& volume) { handleMount(volume.mountPath); }));
    observers_.push_back(events_.onDidUnmount([this](const std::string& path) {
        if (onUnmount) onUnmount(path);
    }));
    observers_.push_back(events_.onWillUnmount([this](const std::string& path) {
        if (onWillUnmount) onWillUnmount(path);
    }));
}

void VolumeWatcher::handleMount(const std::string& mountPath) {
    if (!onMount) return;
    for (const auto& volume : volumes_()) {
        if (volume.mountPath == mountPath) {
            onMount(volume);
            return;
        }
    }
}

} // namespace ulmaro
