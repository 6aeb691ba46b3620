#pragma once

#include "UlmaroAppKit/Catalogs/VolumeEvents.h"

#include <functional>
#include <string>
#include <vector>

namespace ulmaro {

/// The catalog coordinator's view of drives: a mount (matched by exact mount path against
/// the volumes it may offer), an unmount about to happen, and an unmount done. Main thread.
class VolumeWatcher {
public:
    using Volumes = std::function<std::vector<MountedVolume>()>;

    VolumeWatcher(VolumeEvents& events, Volumes volumes)
        : events_(events), volumes_(std::move(volumes)) {}

    std::function<void(const MountedVolume&)> onMount;
    std::function<void(const std::string& mountPath)> onUnmount;
    /// Runs before the did-unmount, while the volume list still holds the drive.
    std::function<void(const std::string& mountPath)> onWillUnmount;

    /// Registers the three observers; a second call changes nothing.
    void start();
    void stop() { observers_.clear(); }
    bool isRunning() const { return !observers_.empty(); }
    std::size_t observerCount() const { return observers_.size(); }

private:
    void handleMount(const std::string& mountPath);

    VolumeEvents& events_;
    Volumes volumes_;
    // Released with the watcher, so a watcher that is gone is never called back.
    std::vector<Subscription> observers_;
};

} // namespace ulmaro
