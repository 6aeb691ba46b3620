#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ulmaro {

/// How urgent a queue's work is: a search must never wait behind a scan.
enum class QueueQuality { interactive, utility };

/// Runs tasks one at a time, in the order submitted, off the main thread. Tasks may call
/// `parallelFor`, and must not throw. Destroying the queue drops the tasks not yet started
/// and lets the running one finish without waiting for it (so a task may drop the last
/// reference to its own queue): tasks hold what they use by shared or weak pointer.
class SerialQueue {
public:
    using Task = std::function<void()>;

    virtual ~SerialQueue() = default;

    /// Safe from any thread, including the queue's own tasks.
    virtual void async(Task task) = 0;
    virtual const std::string& label() const = 0;
    virtual QueueQuality quality() const = 0;
};

/// Makes serial queues, so that tests can hand out queues they drain by hand.
class SerialQueueFactory {
public:
    virtual ~SerialQueueFactory() = default;

    virtual std::shared_ptr<SerialQueue> makeQueue(std::string label, QueueQuality quality) = 0;
    /// One process-wide utility queue for one-off background jobs.
    virtual std::shared_ptr<SerialQueue> globalUtility() = 0;
};

} // namespace ulmaro
