#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ulmaro {

/// The header's short texts, kept apart from the toolkit so they can be checked alone.
namespace OverlayViewText {

/// A count in a few characters: "999", "12k" (thousands, no fraction), "1.5M".
std::string compact(std::int64_t count);

/// A search's duration: "<1ms", whole milliseconds below one second (halves away from
/// zero, so 0.9996 s is "1000ms"), else seconds with one decimal ("12.3s").
std::string formatSearchDuration(double seconds);

/// What the timing pill says: "Searching…" while the shown results are stale, else for
/// results "245 results · 12ms" ("1 result"), else nothing (empty).
struct ResultsTiming {
    std::int64_t totalMatches = 0;
    double took = 0;
};
std::string timingPill(bool resultsAreStale, const std::optional<ResultsTiming>& results);

/// The header's note while a background rescan runs: "Indexing 12k".
std::string backgroundScanText(std::int64_t filesSoFar);
inline constexpr const char* backgroundScanHelp =
    "A rescan is running. Results are from the index built so far.";

} // namespace OverlayViewText
} // namespace ulmaro
