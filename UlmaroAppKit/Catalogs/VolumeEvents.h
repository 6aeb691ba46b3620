#pragma once

#include "UlmaroAppKit/Catalogs/UDisksJobWatcher.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// Drives coming and going, one instance per process. A thread waits for the kernel to
/// flag a change of the mount table (`POLLPRI` on /proc/self/mountinfo), lists the volumes
/// then, and again a little later (udev may add a drive's UUID link after the mount), and
/// hands each list to the main queue, where it is compared with the last one by mount path
/// and UUID.
///
/// The kernel says nothing before an unmount: a vanished volume's will-unmount goes out at
/// once while `volumes()` still holds it, then it leaves the list, then did-unmount follows
/// in a new main-queue task. A new volume's did-mount comes in a new main-queue task too.
/// Where udisks2 runs, its jobs come first: a job that unmounts, ejects or powers off a
/// volume's block device sends that volume's will-unmount as the job starts, while the
/// volume is still mounted, so that a scan holding it lets go before the unmount is tried.
class VolumeEvents {
public:
    using ListVolumes = std::function<std::vector<MountedVolume>()>;

    struct Options {
        /// The table whose changes are waited for; empty waits for `noteMountTableChanged`
        /// alone (tests).
        std::filesystem::path mountTable = "/proc/self/mountinfo";
        /// Further listings after each change.
        std::vector<Seconds> relistAfter = {Seconds(1), Seconds(3)};
        /// The bus whose udisks2 jobs are followed: empty for the system bus, none for no
        /// bus at all.
        std::optional<std::string> udisksBus = std::nullopt;
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
    /// A job is taking these block devices away (kernel names): the will-unmount of each
    /// listed volume mounted from one of them (main thread).
    void noteDevicesLeaving(const std::vector<std::string>& devices);
    /// The udisks2 follower, once started with a bus.
    const UDisksJobWatcher* udisksJobs() const { return udisks_.get(); }

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
    std::unique_ptr<UDisksJobWatcher> udisks_;
};

} // namespace ulmaro
