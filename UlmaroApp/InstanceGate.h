#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Shell/SummonChannel.h"

#include <memory>
#include <optional>

namespace ulmaro {

/// The first step of a launch, before anything is built: one copy per user. A later copy
/// sends its summon to the running one and ends at once; a lock that cannot be had at all
/// ends the launch with an error, rather than start a second copy that would take the
/// first one's summons. The first copy binds its summon socket now, so a launch at the same
/// moment reaches it while it is still starting.
struct InstanceGate {
    /// The exit status when this launch ends here; none when it goes on as the first copy.
    std::optional<int> exitStatus;
    /// The first copy's summons, queued until observed; none when the runtime folder could
    /// not be trusted.
    std::shared_ptr<SummonChannel> summons;

    /// Summons are handed to `mainQueue` once observed.
    static InstanceGate pass(MainQueue& mainQueue);
};

} // namespace ulmaro
