#pragma once

// The browser model's texts for the view tests, fixed so that renders compare.

#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogBrowserView.h"

#include <string>
#include <vector>

namespace ulmaro::test {

/// The byte formatter, one date for every recorded time, and seven information lines.
inline CatalogBrowserView::Texts browserTexts() {
    return {[](std::uint64_t bytes) { return formatByteCount(bytes); },
            [](std::uint32_t seconds) {
                return seconds == 0 ? std::string() : std::string("12 Mar 2024, 09:41");
            },
            [](const CatalogEntry& entry) {
                return std::vector<CatalogBrowsing::InfoLine>{
                    {"Status", entry.isOnline() ? "Connected" : "Offline"},
                    {"Files", "1,204"},
                    {"Folders", "38"},
                    {"Total size", "18.2 GB"},
                    {"Last connected", "12 Mar 2024, 09:41"},
                    {"Last catalogued", "12 Mar 2024, 09:41"},
                    {"Location", entry.currentRoot.value_or(entry.info.rootPath())}};
            }};
}

} // namespace ulmaro::test
