#include "UlmaroAppKit/Search/TrigramIndexHolder.h"

#include <algorithm>
#include <cmath>

namespace ulmaro {

TrigramIndexHolder::TrigramIndexHolder(std::optional<std::filesystem::path> cacheURL,
                                       std::shared_ptr<const Clock> clock)
    : clock_(std::move(clock)), cacheURL_(std::move(cacheURL)) {}

MonotonicTime TrigramIndexHolder::now() const {
    return clock_ ? clock_->monotonicNow() : std::chrono::steady_clock::now();
}

std::filesystem::path TrigramIndexHolder::defaultCacheURL(const std::filesystem::path& indexURL) {
    return indexURL.parent_path() / "trigrams.bin";
}

bool TrigramIndexHolder::request(std::uint64_t key, Install install) {
    std::unique_lock lock(mutex_);
    if (key_ == key && index_) {
        Index index = index_;
        lock.unlock();
        install(std::move(index));
        return false;
    }
    // An engine is made for every change of the delta: without a pause, a build that ran
    // out of memory would start again every few seconds.
    if (retryAfter_ && now() < *retryAfter_) return false;
    waiting_.emplace_back(key, std::move(install));
    if (building_ == key) return false;
    building_ = key;
    return true;
}

void TrigramIndexHolder::finishBuild(Index index, std::uint64_t key) {
    std::vector<Install> ready;
    Index previous; // freed after the lock
    {
        std::lock_guard lock(mutex_);
        if (building_ == key) building_.reset();
        previous = std::exchange(index_, index);
        key_ = key;
        failures_ = 0;
        retryAfter_.reset();
        ready = takeWaiters(key);
    }
    for (Install& install : ready)
        install(index);
}

void TrigramIndexHolder::abandonBuild(std::uint64_t key) {
    // Released after the lock: a callback may hold the last reference to a queue.
    std::vector<Install> dropped;
    {
        std::lock_guard lock(mutex_);
        if (building_ == key) building_.reset();
        dropped = takeWaiters(key);
        const Seconds backoff =
            std::min(longestBackoff, firstBackoff * std::ldexp(1.0, std::min(failures_, 16)));
        ++failures_;
        retryAfter_ = now() + std::chrono::duration_cast<MonotonicTime::duration>(backoff);
    }
}

std::vector<TrigramIndexHolder::Install> TrigramIndexHolder::takeWaiters(std::uint64_t key) {
    std::vector<Install> taken;
    std::vector<std::pair<std::uint64_t, Install>> others;
    for (auto& waiter : waiting_) {
        if (waiter.first == key)
            taken.push_back(std::move(waiter.second));
        else
            others.push_back(std::move(waiter));
    }
    waiting_ = std::move(others);
    return taken;
}

TrigramIndexHolder::Index TrigramIndexHolder::current() const {
    std::lock_guard lock(mutex_);
    return index_;
}

std::optional<std::uint64_t> TrigramIndexHolder::currentKey() const {
    std::lock_guard lock(mutex_);
    return key_;
}

std::optional<std::uint64_t> TrigramIndexHolder::building() const {
    std::lock_guard lock(mutex_);
    return building_;
}

} // namespace ulmaro
