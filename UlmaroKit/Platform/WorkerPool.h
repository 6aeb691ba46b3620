#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace ulmaro {

/// The number of processors this process may run on (sched_getaffinity), at least 1.
unsigned activeProcessorCount();

/// One persistent set of worker threads shared by the whole process.
///
/// `parallelFor` is blocking: the calling thread works on its own loop too and returns
/// only when every iteration has finished, so a loop started from inside another loop
/// cannot deadlock. Iterations run in no particular order; callers that need ordered
/// output give each iteration its own slot and gather the slots afterwards.
class WorkerPool {
public:
    /// `threads` counts the caller as one of them; a pool of 1 runs everything inline.
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    /// The process-wide pool, sized by `activeProcessorCount()`.
    static WorkerPool& shared();

    unsigned threadCount() const { return threads_; }

    /// Runs fn(0) … fn(n − 1) on at most `maxThreads` threads (0: all of them).
    /// The first exception thrown by an iteration is rethrown here after the loop ends;
    /// iterations not yet started when it was thrown are skipped.
    void parallelFor(std::size_t n, const std::function<void(std::size_t)>& fn,
                     unsigned maxThreads = 0);

private:
    struct Job;
    struct State;
    void workerLoop();

    unsigned threads_;
    std::unique_ptr<State> state_;
};

/// `WorkerPool::shared().parallelFor(n, fn, maxThreads)`.
void parallelFor(std::size_t n, const std::function<void(std::size_t)>& fn,
                 unsigned maxThreads = 0);

} // namespace ulmaro
