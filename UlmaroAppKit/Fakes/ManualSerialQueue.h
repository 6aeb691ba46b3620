#pragma once

#include "UlmaroAppKit/Platform/SerialQueue.h"

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace ulmaro {

/// A serial queue for tests: submitted tasks wait until the test runs them, on the test's
/// own thread, so the order of events is the test's to choose.
class ManualSerialQueue final : public SerialQueue {
public:
    ManualSerialQueue(std::string label, QueueQuality quality)
        : label_(std::move(label)), quality_(quality) {}

    void async(Task task) override;
    const std::string& label() const override { return label_; }
    QueueQuality quality() const override { return quality_; }

    /// Runs tasks in order until none is left, including ones submitted meanwhile.
    std::size_t drain();
    bool runOne();
    std::size_t pending() const;

private:
    std::string label_;
    QueueQuality quality_;
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
};

/// Hands out `ManualSerialQueue`s and keeps them so a test can find and drain them.
class ManualSerialQueueFactory final : public SerialQueueFactory {
public:
    std::shared_ptr<SerialQueue> makeQueue(std::string label, QueueQuality quality) override;
    std::shared_ptr<SerialQueue> globalUtility() override;

    /// Every queue made so far, oldest first (the global utility queue once asked for).
    const std::vector<std::shared_ptr<ManualSerialQueue>>& queues() const { return queues_; }
    /// Drains every queue, repeatedly, until all are empty. Returns the tasks run.
    std::size_t drainAll();

private:
    std::vector<std::shared_ptr<ManualSerialQueue>> queues_;
    std::shared_ptr<ManualSerialQueue> global_;
};

} // namespace ulmaro
