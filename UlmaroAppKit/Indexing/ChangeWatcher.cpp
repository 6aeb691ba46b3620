#include "UlmaroAppKit/Indexing/ChangeWatcher.h"

namespace ulmaro {
namespace {

class FileSystemChangeWatcher final : public ChangeWatcher {
public:
    explicit FileSystemChangeWatcher(ChangeWatcherRequest request)
        : watcher_({std::move(request.root)}, request.sinceEventID, request.latency,
                   std::move(request.onSignal), std::move(request.options)) {}

    void start() override { watcher_.start(); }
    void stop() override { watcher_.stop(); }
    std::uint64_t lastKnownEventID() const override { return watcher_.lastKnownEventID(); }

private:
    FileSystemWatcher watcher_;
};

} // namespace

ChangeWatcherFactory fileSystemChangeWatchers() {
    return [](ChangeWatcherRequest request) -> std::unique_ptr<ChangeWatcher> {
        return std::make_unique<FileSystemChangeWatcher>(std::move(request));
    };
}

} // namespace ulmaro
