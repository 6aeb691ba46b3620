#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/Query.h"
#include "support/TempDir.h"

#include <ctime>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace ulmaro {
namespace {

TEST(QueryModel, TermsCompareByCaseAndPayload) {
    EXPECT_EQ(Term::substring("a"), Term::substring("a"));
    EXPECT_NE(Term::substring("a"), Term::exactPhrase("a"));
    EXPECT_NE(Term::substring("a"), Term::substring("A"));
    EXPECT_EQ(Term::not_(Term::not_(Term::ext("pdf"))), Term::not_(Term::not_(Term::ext("pdf"))));
    EXPECT_NE(Term::not_(Term::ext("pdf")), Term::ext("pdf"));
    EXPECT_EQ(Term::size(SizeComparison::lessThan(5)), Term::size(SizeComparison::lessThan(5)));
    EXPECT_NE(Term::size(SizeComparison::lessThan(5)), Term::size(SizeComparison::equalTo(5)));
    EXPECT_NE(Term::dateModified(DateConstraint::inMonth(2024, 3)),
              Term::dateModified(DateConstraint::inMonth(2024, 4)));
    EXPECT_EQ(Term::type(TypeConstraint::app).typeConstraint(), TypeConstraint::app);
    EXPECT_EQ(Term::size(SizeComparison::equalTo(1)).text(), "");
}

TEST(QueryModel, AttributeAndContentNeedsLookThroughNot) {
    Query sizeUnderNot{{Term::not_(Term::size(SizeComparison::greaterThan(1)))}, {}, ""};
    EXPECT_TRUE(sizeUnderNot.requiresAttributes());
    EXPECT_FALSE(sizeUnderNot.requiresContentScan());

    Query dateInGroup{
        {}, {{Term::substring("a")}, {Term::dateModified(DateConstraint::today())}}, ""};
    EXPECT_TRUE(dateInGroup.requiresAttributes());

    Query containsUnderNot{{Term::not_(Term::contains("x"))}, {}, ""};
    EXPECT_TRUE(containsUnderNot.requiresContentScan());
    EXPECT_FALSE(containsUnderNot.requiresAttributes());

    Query plain{{Term::substring("a"), Term::ext("pdf")}, {}, ""};
    EXPECT_FALSE(plain.requiresAttributes());
    EXPECT_FALSE(plain.requiresContentScan());
    EXPECT_TRUE(Query{}.isEmpty());
}

TEST(QueryModel, SplittingMovesTopLevelContainsOnly) {
    Query q{
        {Term::contains("Brindle"), Term::substring("report"), Term::not_(Term::contains("draft"))},
        {},
        "raw text"};
    auto split = q.splittingContentTerms();
    EXPECT_EQ(
        split.nameQuery,
        (Query{{Term::substring("report"), Term::not_(Term::contains("draft"))}, {}, "raw text"}));
    EXPECT_EQ(split.contentNeedles, std::vector<std::string>{"Brindle"});

    Query groups{
        {Term::contains("a")},
        {{Term::substring("report")}, {Term::contains("b")}, {Term::contains("c"), Term::ext("x")}},
        "r"};
    split = groups.splittingContentTerms();
    EXPECT_EQ(split.nameQuery, (Query{{}, {{Term::substring("report")}, {Term::ext("x")}}, "r"}));
    EXPECT_EQ(split.contentNeedles, (std::vector<std::string>{"a", "b", "c"}));

    Query onlyContents{{Term::contains("a"), Term::contains("b")}, {}, "r"};
    split = onlyContents.splittingContentTerms();
    EXPECT_TRUE(split.nameQuery.isEmpty());
    EXPECT_EQ(split.contentNeedles.size(), 2u);
}

// Local time is read through the TZ variable; tzset() makes the change visible to localtime_r.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& tz)
        : env_(std::make_unique<test::ScopedEnv>("TZ", tz)) {
        ::tzset();
    }
    ~ScopedTimeZone() {
        env_.reset();
        ::tzset();
    }

private:
    std::unique_ptr<test::ScopedEnv> env_;
};

constexpr std::int64_t utc(int y, int mo, int d, int h = 0) {
    // Days from civil (proleptic Gregorian), enough for the fixed moments below.
    y -= mo <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (era * 146097 + doe - 719468) * 86400 + h * 3600;
}

TEST(DateConstraint, RangesFollowTheLocalCalendar) {
    ScopedTimeZone berlin("Europe/Berlin");
    // 2024-04-02 12:00 CEST; seven calendar days earlier is 12:00 CET, across the DST change.
    const std::time_t now = utc(2024, 4, 2, 10);
    EXPECT_EQ(DateConstraint::withinDays(7).range(now)->from, utc(2024, 3, 26, 11));
    EXPECT_EQ(DateConstraint::withinDays(-1).range(now)->from, utc(2024, 4, 3, 10));
    EXPECT_EQ(DateConstraint::inMonth(2024, 3).range(now),
              (DateRange{utc(2024, 2, 29, 23), utc(2024, 3, 31, 22)}));
    EXPECT_EQ(DateConstraint::inMonth(2023, 12).range(now),
              (DateRange{utc(2023, 11, 30, 23), utc(2023, 12, 31, 23)}));
    EXPECT_EQ(DateConstraint::today().range(now),
              (DateRange{utc(2024, 4, 1, 22), utc(2024, 4, 2, 22)}));
    EXPECT_TRUE(DateConstraint::today().range(now)->contains(now));
}

TEST(DateConstraint, UnreachableMomentsMatchNothing) {
    ScopedTimeZone zone("UTC");
    const std::time_t now = utc(2024, 4, 2, 10);
    for (auto c :
         {DateConstraint::withinDays(99999999999), DateConstraint::withinDays(-99999999999),
          DateConstraint::withinDays(std::numeric_limits<std::int64_t>::min()),
          DateConstraint::inMonth(99999999999, 1), DateConstraint::inMonth(2024, 13)})
        EXPECT_EQ(c.range(now), std::nullopt) << c;
    // A long but reachable span reaches back before 1970.
    EXPECT_LT(DateConstraint::withinDays(36500).range(now)->from, 0);
}

TEST(MatchQuality, OrdersByRawValueAndRejectsUnknownRaw) {
    for (std::size_t i = 0; i + 1 < allMatchQualities.size(); ++i)
        EXPECT_LT(allMatchQualities[i], allMatchQualities[i + 1]);
    EXPECT_EQ(matchQualityFromRaw(2), MatchQuality::wordBoundary);
    EXPECT_EQ(matchQualityFromRaw(5), std::nullopt);
    EXPECT_EQ((Match{1, MatchQuality::exact, 0}), (Match{1, MatchQuality::exact, 0}));
    EXPECT_NE((Match{1, MatchQuality::exact, 0}), (Match{1, MatchQuality::exact, 1}));
}

} // namespace
} // namespace ulmaro
