#include "UlmaroAppKit/Indexing/ScanProgressEstimate.h"

#include "UlmaroAppKit/Text/TextFormat.h"

#include <algorithm>

namespace ulmaro {

std::optional<double> ScanProgressEstimate::fraction() const {
    if (!expectedTotal || *expectedTotal < 1) return std::nullopt;
    return std::min(static_cast<double>(scannedSoFar) / static_cast<double>(*expectedTotal), 1.0);
}

std::optional<std::string> ScanProgressEstimate::percentText() const {
    auto part = fraction();
    if (!part) return std::nullopt;
    return formatFixed(std::min(*part * 100, 99.9), 1) + "%";
}

} // namespace ulmaro
