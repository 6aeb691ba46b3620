#pragma once

#include "UlmaroKit/Search/MatchQuality.h"

#include <cstdint>
#include <ostream>

namespace ulmaro {

/// One record that satisfied a query. 12 bytes: result arrays can hold millions.
struct Match {
    std::uint32_t id = 0;
    MatchQuality quality = MatchQuality::substring;
    /// Byte offset in the name where the match begins (names are at most 255 bytes).
    std::int32_t matchOffset = 0;

    friend bool operator==(const Match&, const Match&) = default;
};

std::ostream& operator<<(std::ostream& os, const Match& m);

} // namespace ulmaro
