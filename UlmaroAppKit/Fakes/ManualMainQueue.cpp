#include "UlmaroAppKit/Fakes/ManualMainQueue.h"

namespace ulmaro {

void ManualMainQueue::post(Task task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

bool ManualMainQueue::runOne() {
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

std::size_t ManualMainQueue::drain() {
    std::size_t ran = 0;
    while (runOne())
        ++ran;
    return ran;
}

std::size_t ManualMainQueue::pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

} // namespace ulmaro
