#pragma once

#include "UlmaroAppKit/Platform/Clock.h"

#include <string>

namespace ulmaro {

/// An item the user opened. Stored as {"path", "name", "openedAt"}, the date in seconds
/// since 2001-01-01 00:00 UTC.
struct RecentFileEntry {
    /// Absolute, and valid UTF-8: a path that is not cannot be stored as JSON text.
    std::string path;
    std::string name;
    WallTime openedAt{};

    friend bool operator==(const RecentFileEntry&, const RecentFileEntry&) = default;
};

} // namespace ulmaro
