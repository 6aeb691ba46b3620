#include "UlmaroAppKit/Indexing/IndexHealth.h"

#include "UlmaroAppKit/Indexing/ScanProgressEstimate.h"
#include "UlmaroAppKit/Text/TextFormat.h"

#include <cmath>

namespace ulmaro {
namespace {

std::string plural(std::int64_t n, std::string_view one, std::string_view many) {
    return IndexHealth::count(n) + " " + std::string(n == 1 ? one : many);
}

} // namespace

IndexHealth::Status IndexHealth::status() const {
    if (isScanning) return Status::refreshing();
    if (!isLoaded || fileCount < 1) return Status::unavailable();
    if (scanBlocked) return Status::incomplete(*scanBlocked);
    if (lastFailure) return Status::incomplete("last refresh failed — " + *lastFailure);
    if (deniedDirectories >= 1)
        return Status::incomplete(plural(deniedDirectories, "folder", "folders") + " unreadable");
    if (attrs == AttrsCompleteness::none) return Status::incomplete("size: and dm: unavailable");
    return Status::healthy();
}

std::string IndexHealth::statusText() const {
    const Status current = status();
    switch (current.kind) {
    case Status::Kind::healthy:
        return "Healthy";
    case Status::Kind::unavailable:
        return "No index";
    case Status::Kind::incomplete:
        return current.reason;
    case Status::Kind::refreshing:
        break;
    }
    if (scannedSoFar == 0 && stalledFor >= stallThreshold)
        return "Indexing has stalled — try Refresh, or eject backup drives";
    if (fillProgress >= 1 && fillTotal >= 1) {
        const double percent = std::min(
            static_cast<double>(fillProgress) / static_cast<double>(fillTotal) * 100, 99.9);
        return "Learning dates & sizes… " + count(fillProgress) + " of " + count(fillTotal) + " (" +
               formatFixed(percent, 1) + "%)";
    }
    const auto percent = ScanProgressEstimate{scannedSoFar, expectedTotal}.percentText();
    if (!percent) return "Refreshing… " + count(scannedSoFar) + " files";
    if (expectedTotalIsEstimate)
        return "Indexing… about " + *percent + " (" + count(scannedSoFar) + " files)";
    std::string text = "Refreshing… " + *percent;
    if (auto remaining = remainingText()) text += " · " + *remaining;
    return text;
}

std::optional<std::string> IndexHealth::remainingText() const {
    if (!expectedTotal || *expectedTotal < 1 || !lastScanDuration || !(*lastScanDuration > 0) ||
        scannedSoFar < 1 || scannedSoFar >= *expectedTotal)
        return std::nullopt;
    const double seconds = *lastScanDuration * (1 - static_cast<double>(scannedSoFar) /
                                                        static_cast<double>(*expectedTotal));
    // A duration read from settings may be anything; no finite whole number, no estimate.
    if (!std::isfinite(seconds) || seconds >= 9e15) return std::nullopt;
    if (seconds <= 5) return "almost done";
    if (seconds < 90)
        return "about " + std::to_string(static_cast<std::int64_t>(seconds)) + " sec left";
    return "about " + std::to_string(static_cast<std::int64_t>(std::round(seconds / 60))) +
           " min left";
}

std::string IndexHealth::sizeText() const {
    constexpr unsigned units = ByteUnits::megabytes | ByteUnits::gigabytes;
    return formatByteCount(indexBytes, units) + " on disk · " +
           formatByteCount(footprintBytes, units) + " memory";
}

std::string IndexHealth::lastIndexedText(WallTime now) const {
    if (!lastIndexed) return "Never indexed";
    return "Updated " + formatRelativeDate(*lastIndexed, now);
}

std::optional<std::string> IndexHealth::pendingText() const {
    if (pendingLiveChanges < 1) return std::nullopt;
    return plural(pendingLiveChanges, "live change", "live changes") + " since last full scan";
}

std::string IndexHealth::fileCountText() const {
    return count(fileCount) + " files indexed";
}

std::string IndexHealth::count(std::int64_t value) {
    return formatCount(value);
}

} // namespace ulmaro
