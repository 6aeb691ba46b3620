#include "UlmaroKit/Platform/WorkerPool.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace ulmaro {

unsigned activeProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        int n = CPU_COUNT(&set);
        if (n > 0) return static_cast<unsigned>(n);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

struct WorkerPool::Job {
    const std::function<void(std::size_t)>* fn;
    std::size_t count;
    unsigned helperLimit; // workers that may join, besides the caller
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    // Guarded by State::mutex.
    unsigned helpers = 0;
    unsigned active = 0;
    std::exception_ptr error;
    std::condition_variable finished;

    // Runs iterations until none are left; returns after the last one it took.
    void work() {
        for (;;) {
            std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count) return;
            if (failed.load(std::memory_order_relaxed)) continue;
            try {
                (*fn)(i);
            } catch (...) {
                if (!failed.exchange(true)) error = std::current_exception();
            }
        }
    }
    bool exhausted() const { return next.load(std::memory_order_relaxed) >= count; }
};

struct WorkerPool::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job*> jobs;
    bool stopping = false;
    std::vector<std::thread> workers;
};

WorkerPool::WorkerPool(unsigned threads)
    : threads_(std::max(1u, threads)), state_(std::make_unique<State>()) {
    for (unsigned i = 1; i < threads_; ++i) state_->workers.emplace_back([this] { workerLoop(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    for (auto& t : state_->workers) t.join();
}

WorkerPool& WorkerPool::shared() {
    static WorkerPool pool(activeProcessorCount());
    return pool;
}

void WorkerPool::workerLoop() {
    std::unique_lock lock(state_->mutex);
    for (;;) {
        state_->wake.wait(lock, [&] { return state_->stopping || !state_->jobs.empty(); });
        if (state_->stopping) return;
        Job* job = state_->jobs.front();
        if (job->exhausted() || job->helpers >= job->helperLimit) {
            // Nothing more to hand out: the caller finishes it; stop offering it.
            state_->jobs.pop_front();
            continue;
        }
        ++job->helpers;
        ++job->active;
        lock.unlock();
        job->work();
        lock.lock();
        if (--job->active == 0) job->finished.notify_all();
    }
}

void WorkerPool::parallelFor(std::size_t n, const std::function<void(std::size_t)>& fn,
                             unsigned maxThreads) {
    if (n == 0) return;
    unsigned limit = maxThreads == 0 ? threads_ : std::min(maxThreads, threads_);
    if (limit <= 1 || n == 1) {
        for (std::size_t i = 0; i < n; ++i) fn(i);
        return;
    }
    Job job;
    job.fn = &fn;
    job.count = n;
    job.helperLimit = static_cast<unsigned>(std::min<std::size_t>(limit - 1, n - 1));
    {
        std::lock_guard lock(state_->mutex);
        state_->jobs.push_back(&job);
    }
    state_->wake.notify_all();
    job.work();
    std::unique_lock lock(state_->mutex);
    auto it = std::find(state_->jobs.begin(), state_->jobs.end(), &job);
    if (it != state_->jobs.end()) state_->jobs.erase(it);
    job.finished.wait(lock, [&] { return job.active == 0; });
    if (job.error) std::rethrow_exception(job.error);
}

void parallelFor(std::size_t n, const std::function<void(std::size_t)>& fn, unsigned maxThreads) {
    WorkerPool::shared().parallelFor(n, fn, maxThreads);
}

} // namespace ulmaro
