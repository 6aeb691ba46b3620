#include "UlmaroAppKit/Indexing/RefreshScheduler.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace ulmaro {
namespace {

TEST(RefreshScheduler, FloorThenQuietThenCeilingThenHighWaterMark) {
    const WallTime now = WallTime{} + std::chrono::seconds(1767225600);
    auto ago = [&](double seconds) -> std::optional<WallTime> {
        return now - std::chrono::duration_cast<WallTime::duration>(Seconds(seconds));
    };
    const std::nullopt_t none = std::nullopt;
    struct Case {
        const char* what;
        std::optional<WallTime> lastChange, pendingSince;
        std::int64_t paths;
        std::optional<WallTime> lastRescan;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"no change, many paths", none, ago(9000), 20000, none, false},
        {"within the floor", ago(120), none, 0, ago(300), false},
        {"floor passed", ago(120), none, 0, ago(601), true},
        {"floor exactly passed", ago(120), none, 0, ago(600), true},
        {"floor beats the high-water mark", ago(1), ago(9000), 20000, ago(599.9), false},
        {"no rescan yet: no floor", ago(60), none, 0, none, true},
        {"quiet exactly", ago(60), none, 0, ago(10000), true},
        {"not quiet, few paths", ago(59), ago(100), 14999, none, false},
        {"not quiet, high-water mark", ago(59), ago(100), 15000, none, true},
        {"ceiling exactly", ago(10), ago(7200), 0, none, true},
        {"ceiling not reached", ago(10), ago(7199), 0, none, false},
        {"no waiting-since: no ceiling", ago(10), none, 0, none, false},
    };
    RefreshScheduler scheduler;
    EXPECT_EQ(scheduler.quietPeriod, Seconds(60));
    EXPECT_EQ(scheduler.floor, Seconds(600));
    EXPECT_EQ(scheduler.ceiling, Seconds(7200));
    for (const auto& c : cases)
        EXPECT_EQ(scheduler.shouldRescan(c.lastChange, c.pendingSince, c.paths, c.lastRescan, now),
                  c.expected)
            << c.what;

    RefreshScheduler patient{Seconds(5), Seconds(0), Seconds(30)};
    EXPECT_TRUE(patient.shouldRescan(ago(5), none, 0, ago(0), now));
    EXPECT_FALSE(patient.shouldRescan(ago(4), ago(29), 0, ago(0), now));
}

} // namespace
} // namespace ulmaro
