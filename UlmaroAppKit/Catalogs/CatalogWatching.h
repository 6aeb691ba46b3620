#pragma once

#include "UlmaroKit/Scanning/FileSystemWatcherSignal.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace ulmaro {

/// A watcher of one catalog root, as the catalog coordinator keeps it: made stopped, started
/// and stopped on the main thread; its handler runs on a thread of its own.
class CatalogWatching {
public:
    using Handler = std::function<void(const FileSystemWatcherSignal&)>;

    virtual ~CatalogWatching() = default;
    virtual void start() = 0;
    virtual void stop() = 0;

    /// Coalescing latency of the file-system watcher.
    static constexpr double latency = 2.0;

    /// The core's `FileSystemWatcher` on `root`, replaying nothing from before its start
    /// (only `historyDone`), holding at most `maxWatches` inotify watches.
    static std::unique_ptr<CatalogWatching> fileSystem(const std::string& root, Handler handler,
                                                       std::size_t maxWatches);
    /// Each of `roots` watchers' share of half the user's inotify budget, at least 1: the
    /// other half stays with the main index's watcher.
    static std::size_t watchShare(std::size_t roots, std::size_t userBudget = userWatchBudget());
    /// fs.inotify.max_user_watches; 8192 (the kernel's old default) when unreadable.
    static std::size_t userWatchBudget();
};

} // namespace ulmaro
