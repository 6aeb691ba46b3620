#pragma once

#include "UlmaroAppKit/Platform/Clock.h"

#include <cstdint>
#include <optional>

namespace ulmaro {

/// When an automatic background rescan of a whole index should start: not within `floor`
/// of the last one; then once the changes have been quiet for `quietPeriod`, or have waited
/// `ceiling`, or `deltaHighWaterMark` changed paths are waiting. Used by the index's and the
/// catalogs' periodic checks alike.
struct RefreshScheduler {
    static constexpr Seconds defaultQuietPeriod{60};
    static constexpr Seconds defaultFloor{600};
    static constexpr Seconds defaultCeiling{7200};
    static constexpr std::int64_t deltaHighWaterMark = 15000;

    Seconds quietPeriod = defaultQuietPeriod;
    Seconds floor = defaultFloor;
    Seconds ceiling = defaultCeiling;

    /// Every bound is inclusive: exactly `quietPeriod` since the last change is quiet enough.
    bool shouldRescan(std::optional<WallTime> lastChangeAt, std::optional<WallTime> pendingSince,
                      std::int64_t pendingPaths, std::optional<WallTime> lastRescanAt,
                      WallTime now) const;

    friend bool operator==(const RefreshScheduler&, const RefreshScheduler&) = default;
};

} // namespace ulmaro
