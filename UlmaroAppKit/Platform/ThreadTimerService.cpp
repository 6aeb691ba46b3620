#include "UlmaroAppKit/Platform/ThreadTimerService.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace ulmaro {

using Ticks = std::chrono::steady_clock::duration;
using Key = std::pair<MonotonicTime, std::uint64_t>; // due, then the order of scheduling

struct ThreadTimerService::Entry {
    // Guarded by State::mutex.
    MonotonicTime due;
    std::uint64_t order = 0;

    Ticks interval{0};
    bool repeating = false;
    Action action;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> posted{false}; // a firing waits on the main queue
};

struct ThreadTimerService::State {
    explicit State(MainQueue& queue) : main(queue) {}
    MainQueue& main;
    std::mutex mutex;
    std::condition_variable wake;
    std::map<Key, std::shared_ptr<Entry>> timers;
    std::uint64_t nextOrder = 0;
    bool stopping = false;
    std::atomic<bool> stopped{false};

    void unschedule(const std::shared_ptr<Entry>& entry) {
        std::lock_guard lock(mutex);
        auto it = timers.find({entry->due, entry->order});
        if (it != timers.end() && it->second == entry) timers.erase(it);
    }

    void run() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (timers.empty()) {
                wake.wait(lock);
                continue;
            }
            auto now = std::chrono::steady_clock::now();
            // A copy: the entry may be cancelled, and its node freed, while this waits.
            const MonotonicTime next = timers.begin()->first.first;
            if (now < next) {
                wake.wait_until(lock, next);
                continue;
            }
            std::vector<std::shared_ptr<Entry>> due;
            while (!timers.empty() && timers.begin()->first.first <= now) {
                auto entry = std::move(timers.begin()->second);
                timers.erase(timers.begin());
                if (entry->repeating) {
                    // Keep the cadence; firings missed while the process stood still are skipped.
                    auto missed = (now - entry->due) / entry->interval;
                    entry->due += (missed + 1) * entry->interval;
                    entry->order = nextOrder++;
                    timers.emplace(Key{entry->due, entry->order}, entry);
                }
                due.push_back(std::move(entry));
            }
            lock.unlock();
            for (auto& entry : due)
                post(std::move(entry));
            lock.lock();
        }
    }

    void post(std::shared_ptr<Entry> entry) {
        if (entry->posted.exchange(true)) return;
        // The state outlives the service for as long as a firing waits on the main queue,
        // so that the firing can tell the service is gone.
        main.post([entry, self = selfReference.lock()] {
            entry->posted = false;
            if (self && !self->stopped && !entry->cancelled) entry->action();
        });
    }

    std::weak_ptr<State> selfReference;
    std::thread thread;
};

class ThreadTimerService::Handle final : public Timer {
public:
    Handle(std::weak_ptr<State> state, std::weak_ptr<Entry> entry)
        : state_(std::move(state)), entry_(std::move(entry)) {}
    ~Handle() override { cancel(); }
    void cancel() override {
        auto entry = entry_.lock();
        if (!entry) return;
        entry->cancelled = true;
        if (auto state = state_.lock()) state->unschedule(entry);
    }

private:
    std::weak_ptr<State> state_;
    std::weak_ptr<Entry> entry_;
};

ThreadTimerService::ThreadTimerService(MainQueue& mainQueue)
    : state_(std::make_shared<State>(mainQueue)) {
    state_->selfReference = state_;
    state_->thread = std::thread([state = state_.get()] { state->run(); });
}

ThreadTimerService::~ThreadTimerService() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->stopped = true;
    }
    state_->wake.notify_all();
    state_->thread.join();
    std::map<Key, std::shared_ptr<Entry>> dropped;
    std::lock_guard lock(state_->mutex);
    dropped.swap(state_->timers);
}

namespace {
// Negative and NaN waits are none; a wait beyond decades is decades, so no sum overflows.
Seconds sane(Seconds wait) {
    if (!(wait.count() > 0)) return Seconds(0);
    return std::min(wait, Seconds(1e9));
}
} // namespace

std::unique_ptr<Timer> ThreadTimerService::scheduleOnce(Seconds delay, Action action) {
    return schedule(sane(delay), Seconds(0), false, std::move(action));
}

std::unique_ptr<Timer> ThreadTimerService::scheduleRepeating(Seconds interval, Action action) {
    // A shorter interval would only spin this thread: the main queue cannot keep up anyway.
    interval = std::max(sane(interval), Seconds(0.001));
    return schedule(interval, interval, true, std::move(action));
}

std::unique_ptr<Timer> ThreadTimerService::schedule(Seconds delay, Seconds interval, bool repeating,
                                                    Action action) {
    auto entry = std::make_shared<Entry>();
    entry->interval = std::chrono::duration_cast<Ticks>(interval);
    entry->repeating = repeating;
    entry->action = std::move(action);
    auto wait = std::chrono::duration_cast<Ticks>(delay);
    {
        std::lock_guard lock(state_->mutex);
        entry->due = std::chrono::steady_clock::now() + wait;
        entry->order = state_->nextOrder++;
        state_->timers.emplace(Key{entry->due, entry->order}, entry);
    }
    state_->wake.notify_all();
    return std::make_unique<Handle>(state_, entry);
}

} // namespace ulmaro
