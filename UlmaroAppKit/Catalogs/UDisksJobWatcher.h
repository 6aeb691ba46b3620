#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ulmaro {

/// The jobs of udisks2 that take a block device away — unmounting its file system,
/// ejecting or powering off its drive — seen as they start, before the device is gone.
/// Linux tells nothing else before an unmount, and a scan that holds the drive's folders
/// open would make the unmount fail ("target is busy").
///
/// A thread of its own keeps a private connection to the bus and listens to udisks2's
/// object manager for new jobs; `onLeaving` runs on that thread with the kernel names of
/// the job's block devices ("sdb1", "dm-0"; every block device of an ejected drive). No bus,
/// or no udisks2 on it, reports nothing.
class UDisksJobWatcher {
public:
    using OnLeaving = std::function<void(const std::vector<std::string>& devices)>;

    /// `busAddress` empty: the system bus.
    UDisksJobWatcher(std::string busAddress, OnLeaving onLeaving);
    /// Stops the thread; `onLeaving` is never called after this returns.
    ~UDisksJobWatcher();
    UDisksJobWatcher(const UDisksJobWatcher&) = delete;
    UDisksJobWatcher& operator=(const UDisksJobWatcher&) = delete;

    /// Connects and subscribes on the watcher's thread; returns at once.
    void start();
    /// Waits (up to `timeoutSeconds`) until the subscription is in place or has failed;
    /// true when it is in place.
    bool waitUntilListening(double timeoutSeconds) const;

    /// The job operations that take a device away.
    static bool takesDeviceAway(const std::string& operation);

private:
    struct Listener;
    std::string busAddress_;
    OnLeaving onLeaving_;
    std::unique_ptr<Listener> listener_;
};

} // namespace ulmaro
