#include "UlmaroAppKit/Search/Frecency.h"

#include <algorithm>
#include <cmath>

namespace ulmaro {

double Frecency::score(WallTime now) const {
    // Each time apart in doubles: the difference of two far dates overflows nanoseconds.
    const double seconds =
        Seconds(now.time_since_epoch()).count() - Seconds(lastOpened.time_since_epoch()).count();
    const double days = std::max(0.0, seconds / 86400);
    // In doubles throughout: a count near the 64-bit limit must not overflow on the + 1.
    const double opens = std::max(0.0, static_cast<double>(openCount));
    return std::log2(opens + 1) * std::exp2(-days / halfLifeDays);
}

} // namespace ulmaro
