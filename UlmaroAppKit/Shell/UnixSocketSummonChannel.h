#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Shell/SummonChannel.h"

#include <chrono>
#include <filesystem>
#include <memory>

namespace ulmaro {

/// The summon channel as a Unix stream socket ("summon" in the runtime folder). Only the
/// copy holding the instance lock may listen: it replaces a socket left by a copy that
/// died and accepts on a thread of its own. A summon is one connection (it carries one byte,
/// which the listener does not wait for); connections from other users are dropped.
class UnixSocketSummonChannel final : public SummonChannel {
public:
    UnixSocketSummonChannel(std::filesystem::path socketPath, MainQueue& mainQueue);
    ~UnixSocketSummonChannel() override;

    /// Binds the socket now, before the lengthy start-up, so that a launch at the same
    /// moment already reaches this copy; summons that arrive before `observe` wait for it.
    /// False when the socket cannot be bound.
    bool listen();

    void post() override;
    /// `post` that says whether a listener took the summon.
    bool send() const { return send(socketPath_); }
    /// Listens (when `listen` has not), then hands each summon, those that waited
    /// included, to `handler`. Ending the subscription closes the socket.
    Subscription observe(std::function<void()> handler) override;

    /// One summon to whoever listens at `socketPath`: true when a listener took it.
    static bool send(const std::filesystem::path& socketPath);
    /// `send`, tried again until `patience` has passed while nobody listens yet: the copy
    /// holding the lock binds its socket moments after taking it.
    static bool send(const std::filesystem::path& socketPath, std::chrono::milliseconds patience);

private:
    struct Listener;
    std::filesystem::path socketPath_;
    MainQueue& mainQueue_;
    /// Shared with the subscription, which may outlive the channel.
    std::shared_ptr<std::shared_ptr<Listener>> listener_ =
        std::make_shared<std::shared_ptr<Listener>>();
};

} // namespace ulmaro
