#pragma once

#include "UlmaroAppKit/Platform/ForwardingMainQueue.h"
#include "UlmaroAppKit/Shell/SummonChannel.h"

#include <memory>

namespace ulmaro {

/// What the launcher (main.cpp) hands the application module once this launch is the first
/// copy. The launcher links no Qt, so that a later copy, which only summons, never maps it.
struct ApplicationLaunch {
    /// The queue the summon channel already posts to; the module attaches Qt's main queue.
    std::shared_ptr<ForwardingMainQueue> summonQueue;
    /// The first copy's summons, as `InstanceGate` made them.
    std::shared_ptr<SummonChannel> summons;
};

} // namespace ulmaro

/// The application module's one entry: everything after the instance gate, up to the save
/// at quit. Returns the program's exit status.
extern "C" int ulmaroApplicationMain(int argc, char** argv, ulmaro::ApplicationLaunch* launch);
