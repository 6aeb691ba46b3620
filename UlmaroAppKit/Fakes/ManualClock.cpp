#include "UlmaroAppKit/Fakes/ManualClock.h"

#include <algorithm>

namespace ulmaro {

struct ManualClock::Entry {
    MonotonicTime due;
    std::uint64_t order;
    Seconds interval{0};
    bool repeating = false;
    bool cancelled = false;
    Action action;
};

class ManualClock::Handle final : public Timer {
public:
    explicit Handle(std::weak_ptr<Entry> entry) : entry_(std::move(entry)) {}
    ~Handle() override { cancel(); }
    void cancel() override {
        if (auto entry = entry_.lock()) entry->cancelled = true;
    }

private:
    std::weak_ptr<Entry> entry_;
};

ManualClock::ManualClock(WallTime start) : wall_(start) {}

WallTime ManualClock::defaultStart() {
    // 2026-01-01T00:00:00Z
    return WallTime{} + std::chrono::seconds(1767225600);
}

namespace {
// As the real timers take them: negative and NaN are zero, decades at most.
std::chrono::steady_clock::duration toTicks(Seconds s) {
    if (!(s.count() > 0)) s = Seconds(0);
    s = std::min(s, Seconds(1e9));
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(s);
}
} // namespace

std::unique_ptr<Timer> ManualClock::scheduleOnce(Seconds delay, Action action) {
    auto entry = std::make_shared<Entry>();
    entry->due = mono_ + toTicks(delay);
    entry->order = nextOrder_++;
    entry->action = std::move(action);
    timers_.push_back(entry);
    return std::make_unique<Handle>(entry);
}

std::unique_ptr<Timer> ManualClock::scheduleRepeating(Seconds interval, Action action) {
    auto entry = std::make_shared<Entry>();
    // Like the real timers: under a millisecond counts as one, so no step fires forever.
    entry->interval = interval.count() >= 0.001 ? std::min(interval, Seconds(1e9)) : Seconds(0.001);
    entry->repeating = true;
    entry->due = mono_ + toTicks(entry->interval);
    entry->order = nextOrder_++;
    entry->action = std::move(action);
    timers_.push_back(entry);
    return std::make_unique<Handle>(entry);
}

void ManualClock::advance(Seconds by) {
    const MonotonicTime target = mono_ + toTicks(by);
    const auto wallStart = wall_;
    const auto monoStart = mono_;
    for (;;) {
        std::erase_if(timers_, [](const auto& e) { return e->cancelled; });
        auto next = std::min_element(timers_.begin(), timers_.end(), [](auto& a, auto& b) {
            return a->due != b->due ? a->due < b->due : a->order < b->order;
        });
        if (next == timers_.end() || (*next)->due > target) break;
        auto entry = *next;
        mono_ = std::max(mono_, entry->due);
        wall_ = wallStart + std::chrono::duration_cast<WallTime::duration>(mono_ - monoStart);
        if (entry->repeating) {
            entry->due += toTicks(entry->interval);
            entry->order = nextOrder_++;
        } else {
            entry->cancelled = true;
        }
        auto action = entry->action; // the action may cancel or destroy its own handle
        action();
    }
    mono_ = target;
    wall_ = wallStart + std::chrono::duration_cast<WallTime::duration>(target - monoStart);
}

std::size_t ManualClock::activeTimers() const {
    return static_cast<std::size_t>(
        std::count_if(timers_.begin(), timers_.end(), [](auto& e) { return !e->cancelled; }));
}

} // namespace ulmaro
