#pragma once

#include "UlmaroAppKit/Fakes/ManualTaskList.h"
#include "UlmaroAppKit/Platform/MainQueue.h"

#include <thread>

namespace ulmaro {

/// A main queue for tests: posted work waits until the test drains it. The thread that
/// created the queue counts as the main thread.
class ManualMainQueue final : public MainQueue {
public:
    void post(Task task) override { tasks_.add(std::move(task)); }
    bool isCurrent() const override { return std::this_thread::get_id() == owner_; }

    /// Runs posted work in order until none is left, including work posted while draining.
    /// Returns how many tasks ran.
    std::size_t drain() { return tasks_.drain(); }
    /// Runs the oldest task; false when there was none.
    bool runOne() { return tasks_.runOne(); }
    std::size_t pending() const { return tasks_.pending(); }

private:
    std::thread::id owner_ = std::this_thread::get_id();
    ManualTaskList tasks_;
};

} // namespace ulmaro
