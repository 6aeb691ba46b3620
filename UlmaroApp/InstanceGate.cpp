#include "UlmaroApp/InstanceGate.h"

#include "UlmaroAppKit/Shell/SingleInstance.h"
#include "UlmaroAppKit/Shell/UnixSocketSummonChannel.h"

#include <chrono>
#include <iostream>

namespace ulmaro {

InstanceGate InstanceGate::pass(MainQueue& mainQueue) {
    const auto folder = SingleInstance::runtimeFolder();
    const auto role = SingleInstance::claim(folder);
    const auto socket = SingleInstance::summonSocketPath(folder);
    switch (role.outcome) {
    case SingleInstance::Outcome::failed:
        std::cerr << "Ulmaro: " << role.problem
                  << "; not starting, since a running copy could not be told apart. Remove "
                     "what stands there and start again.\n";
        return {1, nullptr};
    case SingleInstance::Outcome::secondary:
        // The copy holding the lock binds its socket moments after taking it.
        if (UnixSocketSummonChannel::send(socket, std::chrono::seconds(3))) return {0, nullptr};
        std::cerr << "Ulmaro: another copy is running but does not answer at " << socket.string()
                  << ".\n";
        return {1, nullptr};
    case SingleInstance::Outcome::primary:
        break;
    }
    if (!role.hasRuntimeFolder) return {std::nullopt, nullptr};
    auto channel = std::make_shared<UnixSocketSummonChannel>(socket, mainQueue);
    channel->listen();
    return {std::nullopt, std::move(channel)};
}

} // namespace ulmaro
