#pragma once

#include <functional>

namespace ulmaro {

/// Runs an action once the user has stopped typing for a while: each change of the query
/// schedules, and the next change replaces it, so only a settled query counts. At most one
/// action is pending. Main thread only.
class SettleScheduling {
public:
    using Action = std::function<void()>;

    virtual ~SettleScheduling() = default;

    /// Replaces the pending action; it runs on the main queue after `delaySeconds` (a
    /// negative delay counts as zero, and the action never runs inside this call).
    virtual void schedule(double delaySeconds, Action action) = 0;
    /// A cancelled action never runs; one that has run is not affected.
    virtual void cancel() = 0;
};

} // namespace ulmaro
