#include "UlmaroAppKit/Indexing/RefreshScheduler.h"

namespace ulmaro {

bool RefreshScheduler::shouldRescan(std::optional<WallTime> lastChangeAt,
                                    std::optional<WallTime> pendingSince, std::int64_t pendingPaths,
                                    std::optional<WallTime> lastRescanAt, WallTime now) const {
    auto since = [&](WallTime then) { return Seconds(now - then); };
    if (!lastChangeAt) return false;
    if (lastRescanAt && since(*lastRescanAt) < floor) return false;
    if (since(*lastChangeAt) >= quietPeriod) return true;
    if (pendingSince && since(*pendingSince) >= ceiling) return true;
    return pendingPaths >= deltaHighWaterMark;
}

} // namespace ulmaro
