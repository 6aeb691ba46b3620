#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"

namespace ulmaro {

ManualSerialQueueFactory::~ManualSerialQueueFactory() {
    for (const auto& queue : queues_)
        queue->dropPending();
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
