#pragma once

// The catalogs the catalog window's view tests list, one in each state.

#include "UlmaroAppKit/Catalogs/CatalogWindowRules.h"

#include <vector>

namespace ulmaro::test {

/// Four catalogs in their states, then one being made.
inline std::vector<CatalogWindowRules::SidebarRow> catalogsInEachState() {
    using Colour = CatalogWindowRules::Colour;
    return {
        {"A", "Backup", "Connected", Colour::green, true},
        {"B", "Photos", "Last scan failed", Colour::orange, true},
        {"C", "Old Laptop", "Offline", Colour::faded, true},
        {"D", "Archive.efu", "Imported file list", Colour::faded, true},
        {"N", "Projects", "Cataloguing\u2026", Colour::orange, false},
    };
}

} // namespace ulmaro::test
