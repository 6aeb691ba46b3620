#pragma once

#include "UlmaroAppKit/Indexing/ChangeWatcher.h"

#include <memory>
#include <vector>

namespace ulmaro {

/// Change watchers driven by hand: the factory records each request, and a test pushes
/// signals into the latest watcher as its thread would (the handler runs on the caller's
/// thread). A stopped watcher passes nothing on.
class ManualChangeWatchers {
public:
    struct Watcher {
        ChangeWatcherRequest request;
        bool started = false;
        bool stopped = false;
        std::uint64_t lastKnownEventID = 0;
    };

    ChangeWatcherFactory factory() {
        return [this](ChangeWatcherRequest request) -> std::unique_ptr<ChangeWatcher> {
            auto watcher = std::make_shared<Watcher>();
            watcher->request = std::move(request);
            made_.push_back(watcher);
            return std::make_unique<Handle>(watcher);
        };
    }

    const std::vector<std::shared_ptr<Watcher>>& made() const { return made_; }
    Watcher& latest() { return *made_.back(); }

    /// Delivers a signal through the latest watcher, when it runs; its ID moves on.
    void push(const FileSystemWatcherSignal& signal) {
        Watcher& w = latest();
        if (!w.started || w.stopped) return;
        ++w.lastKnownEventID;
        w.request.onSignal(signal);
    }

private:
    class Handle final : public ChangeWatcher {
    public:
        explicit Handle(std::shared_ptr<Watcher> watcher) : watcher_(std::move(watcher)) {}
        ~Handle() override { watcher_->stopped = true; }
        void start() override { watcher_->started = true; }
        void stop() override { watcher_->stopped = true; }
        std::uint64_t lastKnownEventID() const override { return watcher_->lastKnownEventID; }

    private:
        std::shared_ptr<Watcher> watcher_;
    };

    std::vector<std::shared_ptr<Watcher>> made_;
};

} // namespace ulmaro
