#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "support/TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using namespace std::chrono_literals;

constexpr unsigned mbAndGb = ByteUnits::megabytes | ByteUnits::gigabytes;

struct ByteCase {
    std::uint64_t bytes;
    unsigned units;
    const char* expected;
};

TEST(FormatByteCount, FileStyleTable) {
    ScopedUserLocale locale("en_US");
    const std::vector<ByteCase> cases = {
        {0, ByteUnits::all, "Zero KB"},
        {0, mbAndGb, "Zero KB"},
        {1, ByteUnits::all, "1 byte"},
        {12, ByteUnits::all, "12 bytes"},
        {999, ByteUnits::all, "999 bytes"},
        {1000, ByteUnits::all, "1 KB"},
        {1500, ByteUnits::all, "2 KB"}, // halves to even
        {2500, ByteUnits::all, "2 KB"},
        {999'499, ByteUnits::all, "999 KB"},
        {999'500, ByteUnits::all, "1 MB"}, // 1,000 KB moves up a unit
        {1'000'000, ByteUnits::all, "1 MB"},
        {1'234'567, ByteUnits::all, "1.2 MB"},
        {1'250'000, ByteUnits::all, "1.2 MB"},
        {1'350'000, ByteUnits::all, "1.4 MB"},
        {1'250'000'000, ByteUnits::all, "1.25 GB"},
        {1'500'000'000, ByteUnits::all, "1.5 GB"},
        {1'000'000'000'000, ByteUnits::all, "1 TB"},
        {std::numeric_limits<std::uint64_t>::max(), ByteUnits::all, "18.45 EB"},
        // Megabytes and gigabytes only, as the disk-space and health texts ask.
        {400'000, mbAndGb, "0.4 MB"},
        {40'000, mbAndGb, "0 MB"},
        {524'288'000, mbAndGb, "524.3 MB"},
        {999'949'999, mbAndGb, "999.9 MB"},
        {999'950'000, mbAndGb, "1 GB"},
        {1'000'000'000'000, mbAndGb, "1,000 GB"},
        {1'234'560'000'000, mbAndGb, "1,234.56 GB"},
        {std::numeric_limits<std::uint64_t>::max(), mbAndGb, "18,446,744,073.71 GB"},
        {5'000'000'000, ByteUnits::kilobytes | ByteUnits::megabytes, "5,000 MB"},
        {7, ByteUnits::megabytes, "0 MB"},
        {1'000'000, 0, "1 MB"}, // no units means all
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatByteCount(c.bytes, c.units), c.expected) << c.bytes << " units " << c.units;
}

TEST(FormatByteCount, DigitsFollowTheUserLocaleWordsStayEnglish) {
    ScopedUserLocale locale("de_DE");
    EXPECT_EQ(formatByteCount(1'250'000'000), "1,25 GB");
    EXPECT_EQ(formatByteCount(1'000'000'000'000, mbAndGb), "1.000 GB");
    EXPECT_EQ(formatByteCount(0), "Zero KB");
}

TEST(FormatCount, AlwaysEnUsGrouping) {
    for (const char* pinned : {"en_US", "de_DE", "fr_FR", "hi_IN"}) {
        ScopedUserLocale locale(pinned);
        EXPECT_EQ(formatCount(1'234'567), "1,234,567") << pinned;
        EXPECT_EQ(formatCount(0), "0");
        EXPECT_EQ(formatCount(999), "999");
        EXPECT_EQ(formatCount(-1234), "-1,234");
        EXPECT_EQ(formatCount(std::numeric_limits<std::int64_t>::min()),
                  "-9,223,372,036,854,775,808");
    }
}

TEST(FormatLocaleInteger, GroupsAsTheUserLocaleDoes) {
    {
        ScopedUserLocale locale("en_US");
        EXPECT_EQ(formatLocaleInteger(1'234'567), "1,234,567");
    }
    {
        ScopedUserLocale locale("de_DE");
        EXPECT_EQ(formatLocaleInteger(1'234'567), "1.234.567");
        EXPECT_EQ(formatLocaleInteger(12), "12");
    }
    {
        ScopedUserLocale locale("fr_FR");
        EXPECT_EQ(formatLocaleInteger(1234), "1\u202f234");
    }
}

TEST(UserLocale, ReadsTheEnvironmentLikeTheCLibrary) {
    struct Env {
        const char* all;
        const char* numeric;
        const char* lang;
        const char* expected;
    };
    const std::vector<Env> cases = {
        {"", "", "de_DE.UTF-8", "de_DE"},
        {"", "fr_FR.UTF-8@euro", "de_DE.UTF-8", "fr_FR"},
        {"sv_SE.UTF-8", "fr_FR.UTF-8", "de_DE.UTF-8", "sv_SE"},
        {"", "", "C.UTF-8", "en_US_POSIX"},
        {"", "", "", "en_US_POSIX"},
    };
    for (const auto& c : cases) {
        test::ScopedEnv all("LC_ALL", c.all), numeric("LC_NUMERIC", c.numeric),
            lang("LANG", c.lang);
        EXPECT_EQ(UserLocale::numbers(), c.expected) << c.all << "|" << c.numeric << "|" << c.lang;
    }
    ScopedUserLocale pinned("ja_JP");
    EXPECT_EQ(UserLocale::numbers(), "ja_JP");
    EXPECT_EQ(UserLocale::collation(), "ja_JP");
}

TEST(FormatRelativeDate, LargestNonZeroUnit) {
    ScopedUserLocale locale("de_DE"); // words stay English
    // Mid-July, far from any change of daylight-saving time in either hemisphere.
    const WallTime now = WallTime{} + std::chrono::seconds(1784116800); // 2026-07-15 12:00 UTC
    struct Case {
        std::chrono::seconds offset;
        const char* expected;
    };
    const std::vector<Case> cases =
        {
            {0s, "in 0 seconds"},          {-1s, "1 second ago"},
            {-59s, "59 seconds ago"},      {-300s, "5 minutes ago"},
            {-330s, "5 minutes ago"},      {2h, "in 2 hours"},
            {-3 * 24h, "3 days ago"},      {-8 * 24h, "1 week ago"},
            {-40 * 24h, "1 month ago"},    {-400 * 24h, "1 year ago"},
            {3 * 365 * 24h, "in 2 years"}, // 2028 is a leap year: a day short
            {3 * 366 * 24h, "in 3 years"},
        };
    for (const auto& c : cases)
        EXPECT_EQ(formatRelativeDate(now + c.offset, now), c.expected) << c.offset.count();
}

TEST(FormatFixed, MatchesPrintfInTheCLocale) {
    const std::vector<double> values = {0.0,     -0.0,   0.05,      0.25,  2.5,    3.5,
                                        99.95,   99.949, 1234.5678, -0.04, 1e21,   -7.25,
                                        1.0 / 3, 42.0,   0.005,     1e-9,  99.999, 123456789.987};
    for (double v : values) {
        for (int digits : {0, 1, 2}) {
            char expected[512];
            std::snprintf(expected, sizeof expected, "%.*f", digits, v);
            EXPECT_EQ(formatFixed(v, digits), expected) << v << " " << digits;
        }
    }
    EXPECT_EQ(formatFixed(420.0 / 1000 * 1000, 0) + "k", "420k");
}

TEST(ReferenceDate, SecondsSince2001RoundTrip) {
    const WallTime reference = WallTime{} + std::chrono::seconds(978307200);
    EXPECT_EQ(secondsSinceReferenceDate(reference), 0.0);
    EXPECT_EQ(secondsSinceReferenceDate(WallTime{}), -978307200.0);
    EXPECT_EQ(dateFromReferenceSeconds(0), reference);
    EXPECT_EQ(dateFromReferenceSeconds(86400.5), reference + 86400s + 500ms);
    const WallTime someDay = WallTime{} + std::chrono::seconds(1767225600);
    EXPECT_EQ(dateFromReferenceSeconds(secondsSinceReferenceDate(someDay)), someDay);
    // Values read from files may be anything.
    EXPECT_EQ(dateFromReferenceSeconds(std::numeric_limits<double>::quiet_NaN()), reference);
    EXPECT_EQ(dateFromReferenceSeconds(std::numeric_limits<double>::infinity()), reference);
    EXPECT_GT(dateFromReferenceSeconds(1e300), someDay);
    EXPECT_LT(dateFromReferenceSeconds(-1e300), WallTime{});
}

} // namespace
} // namespace ulmaro
