#include "UlmaroAppKit/Panel/OverlayViewText.h"

#include "UlmaroAppKit/Text/TextFormat.h"

#include <cmath>

namespace ulmaro::OverlayViewText {

std::string compact(std::int64_t count) {
    if (count < 1000) return std::to_string(count);
    if (count < 1000000) return formatFixed(double(count) / 1000.0, 0) + "k";
    return formatFixed(double(count) / 1000000.0, 1) + "M";
}

std::string formatSearchDuration(double seconds) {
    // A clock that stepped back or a missing measurement is shown as the shortest time.
    if (!std::isfinite(seconds) || seconds * 1000.0 < 1.0) return "<1ms";
    if (seconds < 1.0) return formatFixed(std::round(seconds * 1000.0), 0) + "ms";
    return formatFixed(seconds, 1) + "s";
}

std::string timingPill(bool resultsAreStale, const std::optional<ResultsTiming>& results) {
    if (resultsAreStale) return "Searching\xE2\x80\xA6";
    if (!results) return {};
    std::string text = std::to_string(results->totalMatches) + " result";
    if (results->totalMatches != 1) text += "s";
    return text + " \xC2\xB7 " + formatSearchDuration(results->took);
}

std::string backgroundScanText(std::int64_t filesSoFar) {
    return "Indexing " + compact(filesSoFar);
}

} // namespace ulmaro::OverlayViewText
