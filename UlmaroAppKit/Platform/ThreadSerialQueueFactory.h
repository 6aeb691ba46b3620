#pragma once

#include "UlmaroAppKit/Platform/SerialQueue.h"

namespace ulmaro {

/// Serial queues served by threads of their own, never by the `WorkerPool`'s workers: a
/// search submitted while a scan's `parallelFor` keeps every worker busy starts at once,
/// on a thread the scheduler shares fairly with them. One process-wide set of queue
/// threads grows when every thread is busy and shrinks after a while idle; a queue with
/// work holds one thread at a time, an idle queue holds none. Quality is a label only:
/// the guarantee comes from the separate threads, not from thread priorities.
class ThreadSerialQueueFactory final : public SerialQueueFactory {
public:
    std::shared_ptr<SerialQueue> makeQueue(std::string label, QueueQuality quality) override;
    /// The same queue for every factory in the process.
    std::shared_ptr<SerialQueue> globalUtility() override;
};

} // namespace ulmaro
