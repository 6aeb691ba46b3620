#pragma once

#include "UlmaroAppKit/Platform/Clock.h"

#include <cstdint>
#include <string>

namespace ulmaro {

/// A query the user ran. Stored as {"query", "resultCount", "ranAt"}, the date in seconds
/// since 2001-01-01 00:00 UTC.
struct RecentSearchEntry {
    std::string query;
    std::int64_t resultCount = 0;
    WallTime ranAt{};

    friend bool operator==(const RecentSearchEntry&, const RecentSearchEntry&) = default;
};

} // namespace ulmaro
