#pragma once

#include "UlmaroAppKit/Fakes/ManualTaskList.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"

#include <memory>
#include <vector>

namespace ulmaro {

/// A serial queue for tests: submitted tasks wait until the test runs them, on the test's
/// own thread, so the order of events is the test's to choose.
class ManualSerialQueue final : public SerialQueue {
public:
    ManualSerialQueue(std::string label, QueueQuality quality)
        : label_(std::move(label)), quality_(quality) {}

    void async(Task task) override { tasks_.add(std::move(task)); }
    const std::string& label() const override { return label_; }
    QueueQuality quality() const override { return quality_; }

    /// Runs tasks in order until none is left, including ones submitted meanwhile.
    std::size_t drain() { return tasks_.drain(); }
    bool runOne() { return tasks_.runOne(); }
    std::size_t pending() const { return tasks_.pending(); }
    void dropPending() { tasks_.clear(); }

private:
    std::string label_;
    QueueQuality quality_;
    ManualTaskList tasks_;
};

/// Hands out `ManualSerialQueue`s and keeps them so a test can find and drain them.
class ManualSerialQueueFactory final : public SerialQueueFactory {
public:
    ManualSerialQueueFactory() = default;
    ManualSerialQueueFactory(const ManualSerialQueueFactory&) = delete;
    ManualSerialQueueFactory& operator=(const ManualSerialQueueFactory&) = delete;
    /// Drops what its queues still hold: a task that keeps its own queue alive (as a build
    /// queue's first task does) would otherwise outlive the test.
    ~ManualSerialQueueFactory() override;

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
