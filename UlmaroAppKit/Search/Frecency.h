#pragma once

#include "UlmaroAppKit/Platform/Clock.h"

#include <cstdint>

namespace ulmaro {

/// How often and how recently the user opened one path from the panel.
struct Frecency {
    /// Days for the recency factor to halve.
    static constexpr double halfLifeDays = 14;

    std::int64_t openCount = 0;
    WallTime lastOpened{};

    /// log2(opens + 1), halved every 14 days since the last open; an open in the future
    /// has not decayed. 1 for one open just now, 3 for seven.
    double score(WallTime now) const;

    friend bool operator==(const Frecency&, const Frecency&) = default;
};

} // namespace ulmaro
