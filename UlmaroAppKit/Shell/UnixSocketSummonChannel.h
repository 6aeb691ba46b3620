#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Shell/SummonChannel.h"

#include <filesystem>

namespace ulmaro {

/// The summon channel as a Unix stream socket ("summon" in the runtime folder). Only the
/// copy holding the instance lock may `observe`: it replaces a socket left by a copy that
/// died and listens on a thread of its own. A summon is one connection with one byte;
/// connections from other users are dropped.
class UnixSocketSummonChannel final : public SummonChannel {
public:
    UnixSocketSummonChannel(std::filesystem::path socketPath, MainQueue& mainQueue);

    void post() override;
    Subscription observe(std::function<void()> handler) override;

    /// `post` that says whether a listener took the summon.
    bool send();

private:
    std::filesystem::path socketPath_;
    MainQueue& mainQueue_;
};

} // namespace ulmaro
