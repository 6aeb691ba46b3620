#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ulmaro {

/// A running scan's progress against the number of entries it is expected to reach.
struct ScanProgressEstimate {
    std::int64_t scannedSoFar = 0;
    std::optional<std::int64_t> expectedTotal;

    /// scannedSoFar / expectedTotal, at most 1; none without a total of at least 1.
    std::optional<double> fraction() const;
    /// The fraction as "42.0%", capped at 99.9%: a scan never shows 100 % before it ends.
    std::optional<std::string> percentText() const;

    friend bool operator==(const ScanProgressEstimate&, const ScanProgressEstimate&) = default;
};

} // namespace ulmaro
