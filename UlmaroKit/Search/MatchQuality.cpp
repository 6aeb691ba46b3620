#include "UlmaroKit/Search/MatchQuality.h"

#include <iterator>

namespace ulmaro {

std::ostream& operator<<(std::ostream& os, MatchQuality q) {
    static constexpr const char* names[] = {"exact", "prefix", "wordBoundary", "substring",
                                            "fuzzy"};
    const auto raw = rawValue(q);
    if (raw < std::size(names)) return os << names[raw];
    return os << "MatchQuality(" << int(raw) << ")";
}

} // namespace ulmaro
