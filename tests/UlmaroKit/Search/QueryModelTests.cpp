#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/Query.h"

#include <gtest/gtest.h>

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
