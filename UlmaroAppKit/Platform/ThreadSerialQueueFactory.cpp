#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace ulmaro {
namespace {

using Task = SerialQueue::Task;

// What a queue shares with the threads that serve it.
struct QueueCore {
    explicit QueueCore(std::string name) : label(std::move(name)) {}
    const std::string label;
    std::mutex mutex;
    std::deque<Task> tasks;
    bool scheduled = false; // handed to the threads, running or about to run
    bool closed = false;    // the queue is gone: start nothing more
};

// The threads behind every queue. Never destroyed: a task may still run while the
// process exits, and its thread must not find the set torn down under it.
class QueueThreads {
public:
    static QueueThreads& shared() {
        static auto* threads = new QueueThreads;
        return *threads;
    }

    void schedule(std::shared_ptr<QueueCore> core) {
        std::unique_lock lock(mutex_);
        runnable_.push_back(std::move(core));
        if (runnable_.size() > idle_) {
            lock.unlock();
            std::thread([this] { serve(); }).detach();
        } else {
            wake_.notify_one();
        }
    }

private:
    static constexpr auto idleLifetime = std::chrono::seconds(10);

    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            bool work = wake_.wait_for(lock, idleLifetime, [&] { return !runnable_.empty(); });
            --idle_;
            if (!work) return;
            auto core = std::move(runnable_.front());
            runnable_.pop_front();
            lock.unlock();
            drain(*core);
            core.reset(); // the last reference may go here, outside the lock
            lock.lock();
        }
    }

    static void drain(QueueCore& core) {
        // Thread names help whoever reads a stack dump; the kernel keeps 15 bytes.
        ::pthread_setname_np(::pthread_self(), core.label.substr(0, 15).c_str());
        for (;;) {
            Task task;
            {
                std::lock_guard lock(core.mutex);
                if (core.closed || core.tasks.empty()) {
                    core.scheduled = false;
                    break;
                }
                task = std::move(core.tasks.front());
                core.tasks.pop_front();
            }
            task();
        }
        ::pthread_setname_np(::pthread_self(), "queue-idle");
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<QueueCore>> runnable_;
    std::size_t idle_ = 0;
};

class ThreadSerialQueue final : public SerialQueue {
public:
    ThreadSerialQueue(std::string label, QueueQuality quality)
        : core_(std::make_shared<QueueCore>(std::move(label))), quality_(quality) {}

    ~ThreadSerialQueue() override {
        std::deque<Task> dropped;
        std::lock_guard lock(core_->mutex);
        core_->closed = true;
        dropped.swap(core_->tasks);
        // `dropped` dies after the lock is released: a task's captures may do anything.
    }

    void async(Task task) override {
        {
            std::lock_guard lock(core_->mutex);
            if (core_->closed) return;
            core_->tasks.push_back(std::move(task));
            if (core_->scheduled) return;
            core_->scheduled = true;
        }
        QueueThreads::shared().schedule(core_);
    }

    const std::string& label() const override { return core_->label; }
    QueueQuality quality() const override { return quality_; }

private:
    std::shared_ptr<QueueCore> core_;
    QueueQuality quality_;
};

} // namespace

std::shared_ptr<SerialQueue> ThreadSerialQueueFactory::makeQueue(std::string label,
                                                                 QueueQuality quality) {
    return std::make_shared<ThreadSerialQueue>(std::move(label), quality);
}

std::shared_ptr<SerialQueue> ThreadSerialQueueFactory::globalUtility() {
    static const std::shared_ptr<SerialQueue> queue =
        std::make_shared<ThreadSerialQueue>("app.ulmaro.global-utility", QueueQuality::utility);
    return queue;
}

} // namespace ulmaro
