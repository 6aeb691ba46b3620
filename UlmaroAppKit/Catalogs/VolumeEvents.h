#pragma once

#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ulmaro {

/// Drives coming and going, one instance per process. A thread waits for the kernel to
/// flag a change of the mount table (`POLLPRI` on /proc/self/mountinfo), lists the volumes
/// then, and again a little later (udev may add a drive's UUID link after the mount), and
/// hands each list to the main queue, where it is compared with the last one by mount path
/// and UUID.
///
/// Linux says nothing before an unmount: a vanished volume's will-unmount goes out at once
/// while `volumes()` still holds it, then it leaves the list, then did-unmount follows in a
/// new main-queue task. A new volume's did-mount comes in a new main-queue task too.
class VolumeEvents {
public:
    using ListVolumes = std::function<std::vector<MountedVolume>()>;

    struct Options {
        /// The table whose changes are waited for; empty waits for `noteMountTableChanged`
        /// alone (tests).
        std::filesystem::path mountTable = "/proc/self/mountinfo";
        /// Further listings after each change.
        std::vector<Seconds> relistAfter = {Seconds(1), Seconds(3)};
    };

    /// `list` runs on the monitoring thread. Nothing is listed or watched before `start()`.
    VolumeEvents(MainQueue& mainQueue, ListVolumes list, Options options);
    explicit VolumeEvents(MainQueue& mainQueue);
    ~VolumeEvents();
    VolumeEvents(const VolumeEvents&) = delete;
    VolumeEvents& operator=(const VolumeEvents&) = delete;

    /// Lists the volumes once on the calling thread and starts watching. Idempotent.
    void start();
    /// The volumes mounted now, as last compared (main thread).
    const std::vector<MountedVolume>& volumes() const { return volumes_; }

    [[nodiscard]] Subscription onDidMount(std::function<void(const MountedVolume&)> f) {
        return didMount_.subscribe(std::move(f));
    }
    [[nodiscard]] Subscription onWillUnmount(std::function<void(const std::string&)> f) {
        return willUnmount_.subscribe(std::move(f));
    }
    [[nodiscard]] Subscription onDidUnmount(std::function<void(const std::string&)> f) {
        return didUnmount_.subscribe(std::move(f));
    }

    /// Acts as if the kernel had flagged a change: lists again now and after the delays.
    void noteMountTableChanged();
    /// Compares a listing with the last one and tells the observers (main thread).
    void apply(std::vector<MountedVolume> now);

    /// The running system's volumes: `VolumeEnumerator::mountedVolumes` with fresh probes.
    static std::vector<MountedVolume> systemVolumes();

private:
    struct Monitor;
    MainQueue& mainQueue_;
    ListVolumes list_;
    Options options_;
    std::vector<MountedVolume> volumes_;
    Signal<MountedVolume> didMount_;
    Signal<std::string> willUnmount_;
    Signal<std::string> didUnmount_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<Monitor> monitor_;
};

} // namespace ulmaro
