#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace ulmaro {

/// Keeps one subscription alive; destroying it (or `reset()`) unsubscribes. Safe to
/// destroy after the signal it came from.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    ~Subscription() { reset(); }
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            cancel_ = std::exchange(other.cancel_, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    void reset() {
        if (auto cancel = std::exchange(cancel_, {})) cancel();
    }

private:
    std::function<void()> cancel_;
};

/// A list of handlers called in the order they subscribed. Single-threaded (the main
/// thread): a handler may subscribe or unsubscribe others while it runs; one removed
/// during an emission is not called afterwards, one added is called from the next.
template <class... Args>
class Signal {
public:
    using Handler = std::function<void(const Args&...)>;

    [[nodiscard]] Subscription subscribe(Handler handler) {
        auto id = state_->nextID++;
        state_->handlers.push_back({id, std::make_shared<Handler>(std::move(handler))});
        std::weak_ptr<State> weak = state_;
        return Subscription([weak, id] {
            if (auto state = weak.lock())
                std::erase_if(state->handlers, [id](auto& h) { return h.id == id; });
        });
    }

    void emit(const Args&... args) const {
        auto snapshot = state_->handlers;
        for (const auto& entry : snapshot) {
            bool stillThere = false;
            for (const auto& h : state_->handlers)
                stillThere = stillThere || h.id == entry.id;
            if (stillThere) (*entry.handler)(args...);
        }
    }

    std::size_t subscriberCount() const { return state_->handlers.size(); }

private:
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Handler> handler;
    };
    struct State {
        std::uint64_t nextID = 0;
        std::vector<Entry> handlers;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

/// A value whose subscribers run after each change (each `set`, equal or not).
template <class T>
class Observable {
public:
    Observable() = default;
    explicit Observable(T initial) : value_(std::move(initial)) {}

    const T& get() const { return value_; }
    void set(T value) {
        value_ = std::move(value);
        changed_.emit(value_);
    }
    [[nodiscard]] Subscription subscribe(std::function<void(const T&)> handler) {
        return changed_.subscribe(std::move(handler));
    }

private:
    T value_{};
    Signal<T> changed_;
};

} // namespace ulmaro
