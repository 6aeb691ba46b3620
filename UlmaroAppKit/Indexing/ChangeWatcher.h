#pragma once

#include "UlmaroKit/Scanning/FileSystemWatcher.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ulmaro {

/// What the index coordinator needs of a change watcher: a `FileSystemWatcher` in the
/// application, a hand-driven one in tests. Signals go to the request's handler, on the
/// watcher's own thread.
class ChangeWatcher {
public:
    virtual ~ChangeWatcher() = default;
    virtual void start() = 0;
    /// After this returns the handler is not called again.
    virtual void stop() = 0;
    virtual std::uint64_t lastKnownEventID() const = 0;
};

struct ChangeWatcherRequest {
    std::string root;
    std::uint64_t sinceEventID = 0;
    double latency = 0;
    FileSystemWatcher::SignalHandler onSignal;
    /// The catch-up replay and the folders left unwatched inside.
    FileSystemWatcher::Options options;
};

using ChangeWatcherFactory = std::function<std::unique_ptr<ChangeWatcher>(ChangeWatcherRequest)>;

/// Makes real watchers (inotify).
ChangeWatcherFactory fileSystemChangeWatchers();

} // namespace ulmaro
