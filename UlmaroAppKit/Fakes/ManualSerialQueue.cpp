#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"

namespace ulmaro {

void ManualSerialQueue::async(Task task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

bool ManualSerialQueue::runOne() {
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

std::size_t ManualSerialQueue::drain() {
    std::size_t ran = 0;
    while (runOne())
        ++ran;
    return ran;
}

std::size_t ManualSerialQueue::pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

std::shared_ptr<SerialQueue> ManualSerialQueueFactory::makeQueue(std::string label,
                                                                 QueueQuality quality) {
    auto queue = std::make_shared<ManualSerialQueue>(std::move(label), quality);
    queues_.push_back(queue);
    return queue;
}

std::shared_ptr<SerialQueue> ManualSerialQueueFactory::globalUtility() {
    if (!global_) {
        global_ = std::make_shared<ManualSerialQueue>("global-utility", QueueQuality::utility);
        queues_.push_back(global_);
    }
    return global_;
}

std::size_t ManualSerialQueueFactory::drainAll() {
    std::size_t total = 0;
    for (;;) {
        std::size_t ran = 0;
        for (std::size_t i = 0; i < queues_.size(); ++i)
            ran += queues_[i]->drain();
        if (ran == 0) return total;
        total += ran;
    }
}

} // namespace ulmaro
