#include "UlmaroAppKit/Indexing/IndexCoverage.h"
#include "UlmaroAppKit/Indexing/ScanProgressEstimate.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <gtest/gtest.h>
#include <vector>

namespace ulmaro {
namespace {

TEST(IndexCoverage, GapDescriptionGroupsAsTheUserLocaleDoes) {
    EXPECT_FALSE((IndexCoverage{10, 0}.hasGaps()));
    EXPECT_TRUE((IndexCoverage{10, 1}.hasGaps()));
    EXPECT_EQ((IndexCoverage{10, 0}.gapDescription()), std::nullopt);
    EXPECT_EQ((IndexCoverage{10, -1}.gapDescription()), std::nullopt);
    {
        ScopedUserLocale locale("en_US");
        EXPECT_EQ((IndexCoverage{10, 1}.gapDescription()), "1 folder couldn't be read");
        EXPECT_EQ((IndexCoverage{10, 1234}.gapDescription()), "1,234 folders couldn't be read");
    }
    {
        ScopedUserLocale locale("de_DE");
        EXPECT_EQ((IndexCoverage{10, 1234}.gapDescription()), "1.234 folders couldn't be read");
    }
}

TEST(IndexCoverage, PlaceShowsTwoComponentsBelowHomeOrRoot) {
    struct Case {
        const char* path;
        const char* home;
        const char* place;
    } cases[] = {
        {"/home/ann/Library/Mail/V10", "/home/ann", "~/Library/Mail"},
        {"/home/ann/.cache", "/home/ann", "~/.cache"},
        {"/home/ann/", "/home/ann", "~"},
        {"/home/ann//a//b/c", "/home/ann", "~/a/b"},
        {"/home/ann", "/home/ann", "/home/ann"}, // the folder itself is not under itself
        {"/home/anna/x/y", "/home/ann", "/home/anna"},
        {"/private/var/db/x", "/home/ann", "/private/var"},
        {"/srv", "/home/ann", "/srv"},
        {"/", "/home/ann", "/"},
        {"", "/home/ann", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IndexCoverage::place(c.path, c.home), c.place) << c.path;
}

TEST(IndexCoverage, GapExamplesListPlacesOnceThenHowManyMore) {
    const std::string home = "/home/ann";
    const std::vector<std::string> four{"/home/ann/a/b/1", "/home/ann/a/b/2", "/srv/x/y",
                                        "/var/lib/z"};
    EXPECT_EQ(IndexCoverage::gapExamples(four, home, 2), "~/a/b · /srv/x · +1 more place");
    EXPECT_EQ(IndexCoverage::gapExamples(four, home, 1), "~/a/b · +2 more places");
    EXPECT_EQ(IndexCoverage::gapExamples(four, home, 3), "~/a/b · /srv/x · /var/lib");
    EXPECT_EQ(IndexCoverage::gapExamples(four, home, 10), "~/a/b · /srv/x · /var/lib");
    EXPECT_EQ(IndexCoverage::gapExamples({}, home, 3), std::nullopt);
}

TEST(ScanProgressEstimate, FractionAndPercent) {
    struct Case {
        std::int64_t scanned;
        std::optional<std::int64_t> total;
        std::optional<double> fraction;
        std::optional<std::string> percent;
    } cases[] = {
        {0, 0, std::nullopt, std::nullopt},
        {5, std::nullopt, std::nullopt, std::nullopt},
        {5, -3, std::nullopt, std::nullopt},
        {7, 3, 1.0, "99.9%"},
        {3, 3, 1.0, "99.9%"},
        {0, 3, 0.0, "0.0%"},
        {1, 8, 0.125, "12.5%"},
        {420'000, 1'000'000, 0.42, "42.0%"},
        {999, 1000, 0.999, "99.9%"},
    };
    for (const auto& c : cases) {
        ScanProgressEstimate estimate{c.scanned, c.total};
        EXPECT_EQ(estimate.fraction(), c.fraction) << c.scanned;
        EXPECT_EQ(estimate.percentText(), c.percent) << c.scanned;
    }
    EXPECT_EQ((ScanProgressEstimate{1, std::nullopt}), (ScanProgressEstimate{1, std::nullopt}));
    EXPECT_NE((ScanProgressEstimate{1, 2}), (ScanProgressEstimate{1, std::nullopt}));
}

} // namespace
} // namespace ulmaro
