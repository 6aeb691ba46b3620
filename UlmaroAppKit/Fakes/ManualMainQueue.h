#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"

#include <deque>
#include <mutex>
#include <thread>

namespace ulmaro {

/// A main queue for tests: posted work waits until the test drains it. The thread that
/// created the queue counts as the main thread.
class ManualMainQueue final : public MainQueue {
public:
    void post(Task task) override;
    bool isCurrent() const override { return std::this_thread::get_id() == owner_; }

    /// Runs posted work in order until none is left, including work posted while draining.
    /// Returns how many tasks ran.
    std::size_t drain();
    /// Runs the oldest task; false when there was none.
    bool runOne();
    std::size_t pending() const;

private:
    std::thread::id owner_ = std::this_thread::get_id();
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
};

} // namespace ulmaro
