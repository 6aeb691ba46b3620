#pragma once

#include "UlmaroKit/Scanning/FileSystemWatcherSignal.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// Watches folder trees (inotify, one watch per folder) and turns their changes into three
/// signals for its owner: changed paths, "must rescan everything", and "history done".
///
/// Delivery: `onSignal` is called on the watcher's own thread, one call at a time, never
/// after `stop()` has returned. It may call `stop()` (or drop the watcher) itself. It must not
/// throw. A batch delivers its signals in this order: `changedPaths` (when any path changed),
/// `mustFullRescan`, `historyDone`.
///
/// Batching: a change that comes after `latency` seconds without any goes out at once; changes
/// that follow closer together are gathered until `latency` has passed since the last delivery,
/// and go out together. While the watches of a large tree are being placed (seconds), changes
/// in the folders watched so far go out after each level of folders.
///
/// Event IDs are a 64-bit count shared by the process that only grows: its first ID, each
/// delivered batch and each stop take max(last + 1, wall-clock nanoseconds). Linux keeps no
/// history. Changes go unseen before the process's first ID and after a stop: a watcher
/// started from an ID older than that (a checkpoint of an earlier run, or of a watcher
/// stopped since) asks its `replay` source, once the watches are in place, what changed
/// since; the answer goes out as `changedPaths` and then `historyDone`, while changes seen
/// meanwhile go out as usual. Without a source, or when it cannot tell, the batch is
/// `mustFullRescan` and then `historyDone`. A start from any later ID (such as
/// `currentEventID()` taken since) has nothing to replay: its first batch is `historyDone`
/// alone. Lost events (queue overflow), folders left unwatched for want of watches and a
/// root that cannot be watched (missing, or not a folder) are `mustFullRescan` too.
class FileSystemWatcher {
public:
    using SignalHandler = std::function<void(const FileSystemWatcherSignal&)>;

    /// The paths changed since an event ID (raw bytes), or none when that cannot be told.
    /// Runs on a thread of its own; `cancel` is set when the watcher stops.
    using Replay = std::function<std::optional<std::vector<std::string>>(
        std::uint64_t sinceEventID, const std::atomic<bool>& cancel)>;

    struct Options {
        /// Most watches this watcher may hold, on top of the kernel's budget (0: no cap).
        std::size_t maxWatches = 0;
        /// What changed while nobody watched; see the class comment.
        Replay replay = {};
        /// Folders below a root whose inside is not watched: their owner drops those
        /// changes anyway, and watches are a budget of the whole user.
        std::function<bool(const std::string& folderPath)> skipInside = {};
    };

    FileSystemWatcher(std::vector<std::string> paths, std::uint64_t sinceEventID, double latency,
                      SignalHandler onSignal, Options options);
    FileSystemWatcher(std::vector<std::string> paths, std::uint64_t sinceEventID, double latency,
                      SignalHandler onSignal)
        : FileSystemWatcher(std::move(paths), sinceEventID, latency, std::move(onSignal),
                            Options{}) {}
    ~FileSystemWatcher();
    FileSystemWatcher(const FileSystemWatcher&) = delete;
    FileSystemWatcher& operator=(const FileSystemWatcher&) = delete;

    /// Starts watching unless running. Returns at once; the watches are put in place on the
    /// watcher's thread. When the kernel refuses an inotify instance or a thread, the watcher
    /// stays stopped and reports nothing.
    void start();
    /// Stops watching and waits for a delivery in progress, unless called from `onSignal`.
    /// Does nothing when stopped. A stopped watcher may be started again, from the same
    /// `sinceEventID`.
    void stop();

    /// The highest event ID delivered so far; 0 before the first delivery. Survives stop and
    /// start. Safe from any thread.
    std::uint64_t lastKnownEventID() const;

    /// The present event ID, a start point when there is no usable checkpoint. The clock
    /// alone does not move it on.
    static std::uint64_t currentEventID();

    /// An identifier of the file system holding `path`: its UUID (/dev/disk/by-uuid), else its
    /// statvfs file-system ID in hex. Absent when `path` cannot be reached or the file system
    /// has neither. `deviceRoot`, `sysRoot` and `mountTable` stand for /dev, /sys and the
    /// mount table, for tests.
    static std::optional<std::string>
    deviceUUID(const std::string& path, const std::filesystem::path& deviceRoot = "/dev",
               const std::filesystem::path& sysRoot = "/sys",
               const std::filesystem::path& mountTable = "/proc/self/mountinfo");

private:
    struct EventIDs {
        mutable std::mutex lock;
        std::uint64_t lastKnown = 0;
    };
    struct Stream;

    // Guards `stream_` alone, so a handler's stop() and its owner's cannot race.
    std::mutex streamLock_;
    std::shared_ptr<Stream> stream_;
    std::vector<std::string> paths_;
    std::uint64_t sinceEventID_;
    double latency_;
    SignalHandler onSignal_;
    Options options_;
    std::shared_ptr<EventIDs> eventIDs_;
};

} // namespace ulmaro
