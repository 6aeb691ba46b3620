#include "UlmaroAppKit/Search/TrigramIndexHolder.h"

namespace ulmaro {

TrigramIndexHolder::TrigramIndexHolder(std::optional<std::filesystem::path> cacheURL)
    : cacheURL_(std::move(cacheURL)) {}

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
