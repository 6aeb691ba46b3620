#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ulmaro {

/// A main queue that stands in before the real one exists: the launcher takes summons
/// before the UI toolkit is even loaded. Work posted before `attach` waits, in order, and
/// is handed to the attached queue ahead of anything posted after.
class ForwardingMainQueue final : public MainQueue {
public:
    ForwardingMainQueue() = default;
    ForwardingMainQueue(const ForwardingMainQueue&) = delete;
    ForwardingMainQueue& operator=(const ForwardingMainQueue&) = delete;

    void post(Task task) override;
    /// Until `attach`, true on the thread that made this queue.
    bool isCurrent() const override;

    /// Once only, from any thread.
    void attach(std::shared_ptr<MainQueue> target);

private:
    mutable std::mutex mutex_;
    std::shared_ptr<MainQueue> target_; // under mutex
    std::vector<Task> waiting_;         // under mutex
    const std::thread::id owner_ = std::this_thread::get_id();
};

} // namespace ulmaro
