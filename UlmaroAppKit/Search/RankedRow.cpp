#include "UlmaroAppKit/Search/RankedRow.h"

namespace ulmaro {

std::optional<std::string> RankedRow::catalogID() const {
    if (!origin.catalog) return std::nullopt;
    return origin.catalog->id;
}

std::optional<std::string> RankedRow::catalogName() const {
    if (!origin.catalog) return std::nullopt;
    return origin.catalog->name;
}

bool RankedRow::isOffline() const {
    return origin.catalog && !origin.catalog->isOnline;
}

std::optional<std::string> RankedRow::offlineLabel() const {
    if (!isOffline()) return std::nullopt;
    return "Offline \u00B7 " + origin.catalog->name;
}

} // namespace ulmaro
