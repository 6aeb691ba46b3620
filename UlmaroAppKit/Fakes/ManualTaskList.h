#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace ulmaro {

/// Work that waits until a test runs it: the one list behind the manual queues. Safe to add
/// to from any thread; run on the test's.
class ManualTaskList {
public:
    using Task = std::function<void()>;

    void add(Task task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    /// Runs the oldest task; false when there was none.
    bool runOne() {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) return false;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }
    /// Runs tasks in order until none is left, including ones added meanwhile.
    std::size_t drain() {
        std::size_t ran = 0;
        while (runOne())
            ++ran;
        return ran;
    }
    /// Drops every waiting task unrun, as a real queue does when it goes away.
    void clear() {
        std::deque<Task> dropped;
        {
            std::lock_guard lock(mutex_);
            dropped.swap(tasks_);
        }
        // `dropped` dies outside the lock: a task's captures may add to this list.
    }
    std::size_t pending() const {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
};

} // namespace ulmaro
