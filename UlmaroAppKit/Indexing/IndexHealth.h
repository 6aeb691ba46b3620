#pragma once

#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroKit/Index/AttrsCompleteness.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// A snapshot of the main index and of any scan in progress, and the one-line texts the
/// menu, the panel's notices and onboarding show for it. Filled by the index coordinator.
struct IndexHealth {
    /// Seconds without progress after which a scan that has read nothing counts as stalled.
    static constexpr double stallThreshold = 120.0;

    struct Status {
        enum class Kind { incomplete, refreshing, healthy, unavailable };
        Kind kind = Kind::unavailable;
        /// Why the index is incomplete; empty for the other kinds.
        std::string reason;

        static Status incomplete(std::string reason) {
            return {Kind::incomplete, std::move(reason)};
        }
        static Status refreshing() { return {Kind::refreshing, {}}; }
        static Status healthy() { return {Kind::healthy, {}}; }
        static Status unavailable() { return {Kind::unavailable, {}}; }

        friend bool operator==(const Status&, const Status&) = default;
    };

    std::int64_t fileCount = 0;
    /// The index file's size on disk.
    std::uint64_t indexBytes = 0;
    /// `currentFootprint()` when the snapshot was taken.
    std::uint64_t footprintBytes = 0;
    /// When the loaded index was last built.
    std::optional<WallTime> lastIndexed;
    /// Folders the last scan could not read.
    std::int64_t deniedDirectories = 0;
    AttrsCompleteness attrs = AttrsCompleteness::none;
    /// Changed paths the live delta holds.
    std::int64_t pendingLiveChanges = 0;
    bool isLoaded = false;
    /// Why the last refresh failed.
    std::optional<std::string> lastFailure;
    /// Why a scan was refused (not enough free space).
    std::optional<std::string> scanBlocked;
    bool isScanning = false;
    std::int64_t scannedSoFar = 0;
    std::optional<std::int64_t> expectedTotal;
    /// `expectedTotal` is an estimate rather than the previous scan's count.
    bool expectedTotalIsEstimate = false;
    /// Seconds the previous full scan took.
    std::optional<double> lastScanDuration;
    /// Seconds the running scan has shown no progress.
    double stalledFor = 0;
    /// Records whose size and date the running attribute pass has read, of `fillTotal`.
    std::int64_t fillProgress = 0;
    std::int64_t fillTotal = 0;

    Status status() const;
    std::string statusText() const;
    /// "about 75 sec left": a running scan's time to go, judged by the previous scan.
    std::optional<std::string> remainingText() const;
    /// "1.2 GB on disk · 85.3 MB memory".
    std::string sizeText() const;
    /// "Updated 5 minutes ago", or "Never indexed".
    std::string lastIndexedText(WallTime now) const;
    /// "3 live changes since last full scan"; none without changes.
    std::optional<std::string> pendingText() const;
    std::string fileCountText() const;

    /// Every whole-number count the application shows: "1,234,567", whatever the locale.
    static std::string count(std::int64_t value);
    /// The process's memory that is its own: anonymous resident pages and swap, without
    /// the clean pages of mapped indexes. 0 when the kernel does not say.
    static std::uint64_t currentFootprint();
    /// The footprint as a "/proc/self/status" text states it; 0 when it states neither.
    static std::uint64_t footprintFromStatus(std::string_view status);

    friend bool operator==(const IndexHealth&, const IndexHealth&) = default;
};

} // namespace ulmaro
