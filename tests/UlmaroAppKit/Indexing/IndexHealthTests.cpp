#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <functional>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Status = IndexHealth::Status;

// A loaded, complete index with nothing going on: healthy.
IndexHealth loaded() {
    IndexHealth h;
    h.fileCount = 1000;
    h.isLoaded = true;
    h.attrs = AttrsCompleteness::complete;
    return h;
}

IndexHealth with(std::function<void(IndexHealth&)> change) {
    IndexHealth h = loaded();
    change(h);
    return h;
}

TEST(IndexHealth, StatusTakesTheFirstRuleThatApplies) {
    ScopedUserLocale locale("de_DE"); // counts stay en_US
    struct Case {
        const char* what;
        IndexHealth health;
        Status status;
        std::string text;
    } cases[] = {
        {"scanning wins over a block and a failure", with([](auto& h) {
             h.isScanning = true;
             h.scanBlocked = "Not enough space";
             h.lastFailure = "boom";
             h.isLoaded = false;
         }),
         Status::refreshing(), "Refreshing… 0 files"},
        {"not loaded", with([](auto& h) { h.isLoaded = false; }), Status::unavailable(),
         "No index"},
        {"loaded with no files", with([](auto& h) { h.fileCount = 0; }), Status::unavailable(),
         "No index"},
        {"blocked wins over a failure", with([](auto& h) {
             h.scanBlocked = "Not enough space";
             h.lastFailure = "boom";
             h.deniedDirectories = 3;
         }),
         Status::incomplete("Not enough space"), "Not enough space"},
        {"failure wins over unreadable folders", with([](auto& h) {
             h.lastFailure = "boom";
             h.deniedDirectories = 3;
         }),
         Status::incomplete("last refresh failed — boom"), "last refresh failed — boom"},
        {"one unreadable folder", with([](auto& h) { h.deniedDirectories = 1; }),
         Status::incomplete("1 folder unreadable"), "1 folder unreadable"},
        {"many unreadable folders win over missing attributes", with([](auto& h) {
             h.deniedDirectories = 1234;
             h.attrs = AttrsCompleteness::none;
         }),
         Status::incomplete("1,234 folders unreadable"), "1,234 folders unreadable"},
        {"no attributes", with([](auto& h) { h.attrs = AttrsCompleteness::none; }),
         Status::incomplete("size: and dm: unavailable"), "size: and dm: unavailable"},
        {"partial attributes", with([](auto& h) { h.attrs = AttrsCompleteness::partial; }),
         Status::healthy(), "Healthy"},
        {"complete", loaded(), Status::healthy(), "Healthy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.health.status(), c.status) << c.what;
        EXPECT_EQ(c.health.statusText(), c.text) << c.what;
    }
}

IndexHealth scanning(std::function<void(IndexHealth&)> change) {
    return with([&](IndexHealth& h) {
        h.isScanning = true;
        change(h);
    });
}

TEST(IndexHealth, RefreshingTextsInTheirOrder) {
    struct Case {
        const char* what;
        IndexHealth health;
        std::string text;
    } cases[] = {
        {"stalled at the threshold", scanning([](auto& h) {
             h.stalledFor = 120.0;
             h.fillProgress = 5;
             h.fillTotal = 5;
         }),
         "Indexing has stalled — try Refresh, or eject backup drives"},
        {"stalled but scanned something", scanning([](auto& h) {
             h.stalledFor = 500;
             h.scannedSoFar = 1;
         }),
         "Refreshing… 1 files"},
        {"just under the threshold", scanning([](auto& h) { h.stalledFor = 119.9; }),
         "Refreshing… 0 files"},
        {"attribute pass done", scanning([](auto& h) {
             h.fillProgress = 5;
             h.fillTotal = 5;
             h.expectedTotal = 200;
             h.scannedSoFar = 50;
         }),
         "Learning dates & sizes… 5 of 5 (99.9%)"},
        {"attribute pass under way", scanning([](auto& h) {
             h.fillProgress = 1234;
             h.fillTotal = 10000;
         }),
         "Learning dates & sizes… 1,234 of 10,000 (12.3%)"},
        {"attribute total not known", scanning([](auto& h) {
             h.fillProgress = 5;
             h.scannedSoFar = 1234567;
         }),
         "Refreshing… 1,234,567 files"},
        {"estimated total", scanning([](auto& h) {
             h.expectedTotal = 1'000'000;
             h.expectedTotalIsEstimate = true;
             h.scannedSoFar = 420'000;
             h.lastScanDuration = 100;
         }),
         "Indexing… about 42.0% (420,000 files)"},
        {"exact total with time left", scanning([](auto& h) {
             h.expectedTotal = 200;
             h.scannedSoFar = 50;
             h.lastScanDuration = 100;
         }),
         "Refreshing… 25.0% · about 75 sec left"},
        {"almost done", scanning([](auto& h) {
             h.expectedTotal = 200;
             h.scannedSoFar = 198;
             h.lastScanDuration = 100;
         }),
         "Refreshing… 99.0% · almost done"},
        {"no previous duration", scanning([](auto& h) {
             h.expectedTotal = 200;
             h.scannedSoFar = 50;
         }),
         "Refreshing… 25.0%"},
        {"passed the expected total", scanning([](auto& h) {
             h.expectedTotal = 200;
             h.scannedSoFar = 300;
             h.lastScanDuration = 100;
         }),
         "Refreshing… 99.9%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.health.statusText(), c.text) << c.what;
}

TEST(IndexHealth, RemainingTextBounds) {
    struct Case {
        std::optional<std::int64_t> expected;
        std::int64_t scanned;
        std::optional<double> duration;
        std::optional<std::string> text;
    } cases[] = {
        {200, 50, 100, "about 75 sec left"},
        {1000, 100, 3600, "about 54 min left"},
        {200, 198, 100, "almost done"},
        {4, 3, 20, "almost done"},            // exactly 5 s
        {1000, 1, 5.01, "about 5 sec left"},  // 5.005 s, truncated
        {100, 10, 99.9, "about 89 sec left"}, // 89.91 s
        {100, 10, 100, "about 2 min left"},   // 90 s: 1.5 min, half away from zero
        {100, 10, 3000, "about 45 min left"},
        {std::nullopt, 50, 100, std::nullopt},
        {0, 0, 100, std::nullopt},
        {200, 0, 100, std::nullopt},   // nothing scanned yet
        {200, 200, 100, std::nullopt}, // reached the total
        {200, 50, std::nullopt, std::nullopt},
        {200, 50, 0.0, std::nullopt},
        {200, 50, -5.0, std::nullopt},
        {200, 50, std::numeric_limits<double>::infinity(), std::nullopt},
        {200, 50, std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    };
    for (const auto& c : cases) {
        IndexHealth h = scanning([&](auto& s) {
            s.expectedTotal = c.expected;
            s.scannedSoFar = c.scanned;
            s.lastScanDuration = c.duration;
        });
        EXPECT_EQ(h.remainingText(), c.text)
            << c.expected.value_or(-1) << " " << c.scanned << " " << c.duration.value_or(-1);
    }
}

TEST(IndexHealth, OtherTexts) {
    ScopedUserLocale locale("en_US");
    IndexHealth h = loaded();
    EXPECT_EQ(h.fileCountText(), "1,000 files indexed");
    h.fileCount = 1;
    EXPECT_EQ(h.fileCountText(), "1 files indexed");

    EXPECT_EQ(h.pendingText(), std::nullopt);
    h.pendingLiveChanges = 1;
    EXPECT_EQ(h.pendingText(), "1 live change since last full scan");
    h.pendingLiveChanges = 20000;
    EXPECT_EQ(h.pendingText(), "20,000 live changes since last full scan");

    h.indexBytes = 1'250'000'000;
    h.footprintBytes = 85'300'000;
    EXPECT_EQ(h.sizeText(), "1.25 GB on disk · 85.3 MB memory");
    h.indexBytes = 400'000;
    h.footprintBytes = 0;
    EXPECT_EQ(h.sizeText(), "0.4 MB on disk · Zero KB memory");

    const WallTime now =
        std::chrono::sys_days(std::chrono::year{2026} / 3 / 4) + std::chrono::hours(12);
    EXPECT_EQ(h.lastIndexedText(now), "Never indexed");
    h.lastIndexed = now - std::chrono::minutes(5);
    EXPECT_EQ(h.lastIndexedText(now), "Updated 5 minutes ago");
}

TEST(IndexHealth, SnapshotsAreEqualOnlyInEveryField) {
    EXPECT_EQ(loaded(), loaded());
    EXPECT_NE(loaded(), with([](auto& h) { h.fillTotal = 1; }));
    EXPECT_NE(loaded(), with([](auto& h) { h.lastIndexed = WallTime{}; }));
    EXPECT_NE(loaded(), with([](auto& h) { h.stalledFor = 0.5; }));
}

TEST(IndexHealth, FootprintIsAnonymousMemoryAndSwap) {
    const char* status = "Name:\tlu\nVmRSS:\t  900000 kB\nRssAnon:\t    2048 kB\n"
                         "RssFile:\t  800000 kB\nVmSwap:\t      16 kB\n";
    EXPECT_EQ(IndexHealth::footprintFromStatus(status), (2048u + 16u) * 1024u);
    EXPECT_EQ(IndexHealth::footprintFromStatus("RssAnon:\t 10 kB\n"), 10u * 1024u);
    EXPECT_EQ(IndexHealth::footprintFromStatus("VmRSS:\t 10 kB\n"), 0u);
    EXPECT_EQ(IndexHealth::footprintFromStatus("RssAnon:\t x kB\nVmSwap:\t 1 kB"), 1024u);
    EXPECT_EQ(IndexHealth::footprintFromStatus("RssAnonymous:\t 5 kB\n"), 0u);
    EXPECT_EQ(IndexHealth::footprintFromStatus("RssAnon:\t 99999999999999999999 kB\n"), 0u);
    EXPECT_EQ(IndexHealth::footprintFromStatus(""), 0u);
    EXPECT_GT(IndexHealth::currentFootprint(), 0u);
}

} // namespace
} // namespace ulmaro
