#include "UlmaroAppKit/Catalogs/CatalogWatching.h"

#include "UlmaroKit/Scanning/FileSystemWatcher.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>

namespace ulmaro {
namespace {

class FileSystemCatalogWatcher final : public CatalogWatching {
public:
    FileSystemCatalogWatcher(const std::string& root, Handler handler, std::size_t maxWatches)
        // From the highest ID: a start from `currentEventID()` would be past by the time the
        // watches are in, and ask for a full rescan of every catalog at each launch.
        : watcher_({root}, std::numeric_limits<std::uint64_t>::max(), latency, std::move(handler),
                   FileSystemWatcher::Options{maxWatches}) {}
    void start() override { watcher_.start(); }
    void stop() override { watcher_.stop(); }

private:
    FileSystemWatcher watcher_;
};

} // namespace

std::unique_ptr<CatalogWatching>
CatalogWatching::fileSystem(const std::string& root, Handler handler, std::size_t maxWatches) {
    return std::make_unique<FileSystemCatalogWatcher>(root, std::move(handler), maxWatches);
}

std::size_t CatalogWatching::watchShare(std::size_t roots, std::size_t userBudget) {
    return std::max<std::size_t>(1, userBudget / 2 / std::max<std::size_t>(1, roots));
}

std::size_t CatalogWatching::userWatchBudget() {
    std::ifstream in("/proc/sys/fs/inotify/max_user_watches");
    std::size_t budget = 0;
    if (in >> budget && budget > 0) return budget;
    return 8192;
}

} // namespace ulmaro
