// Term tests, grading and the record-by-record path, on small stores.

#include "MatcherTestsSupport.h"
#include "SubstringTerm.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/QueryParser.h"

#include <ctime>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::andQuery;
using test::idsOf;
using test::orQuery;
using test::StoreBuilder;

using test::sub;

struct GradeCase {
    std::string needle;
    std::string name;
    MatchQuality quality;
    std::int32_t offset;
};

TEST(Matcher, GradesTheLeftmostOccurrence) {
    const std::vector<GradeCase> cases = {
        {"abc", "ABC", MatchQuality::exact, 0},
        {"ABC", "abc", MatchQuality::exact, 0},
        {"abc", "abcd", MatchQuality::prefix, 0},
        {"abc", "x_abc", MatchQuality::wordBoundary, 2},
        {"abc", "x abc", MatchQuality::wordBoundary, 2},
        {"abc", "x-abc", MatchQuality::wordBoundary, 2},
        {"abc", "x.abc", MatchQuality::wordBoundary, 2},
        {"abc", "xabc_abc", MatchQuality::substring, 1}, // the later boundary does not count
        {"abc", "(abc", MatchQuality::substring, 1},
        {"abc", "1abc", MatchQuality::substring, 1},
        {"abc", "xAbc", MatchQuality::substring, 1}, // no change of case counts
        {"a b", "x_A B.txt", MatchQuality::wordBoundary, 2},
        {"é", "café", MatchQuality::substring, 3},
        {"long-needle-beyond-sixteen", "a name longer than 16 bytes: LONG-needle-beyond-sixteen",
         MatchQuality::wordBoundary, 29},
    };
    for (const GradeCase& c : cases) {
        SCOPED_TRACE(c.needle + " in " + c.name);
        StoreBuilder b;
        b.add("unrelated");
        const std::uint32_t id = b.add(c.name);
        Matcher m(b.open());
        const auto found = m.match(andQuery({sub(c.needle)}));
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0], (Match{id, c.quality, c.offset}));
    }
}

TEST(Matcher, FoldsOnlyAsciiLetters) {
    StoreBuilder b;
    b.add("@x"), b.add("`x"), b.add("[x"), b.add("{x"), b.add("É"), b.add("é");
    Matcher m(b.open());
    EXPECT_EQ(idsOf(m.match(andQuery({sub("@x")}))), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(idsOf(m.match(andQuery({sub("{x")}))), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(idsOf(m.match(andQuery({sub("é")}))), (std::vector<std::uint32_t>{5}));
}

TEST(Matcher, EmptyQueryMatchesNothing) {
    StoreBuilder b;
    b.add("a");
    Matcher m(b.open());
    const std::vector<std::uint32_t> all = {0};
    EXPECT_TRUE(m.match(Query{}).empty());
    EXPECT_TRUE(m.match(Query{}, all).empty());
}

TEST(Matcher, BestGradeAmongScoredTermsFirstWinsTies) {
    StoreBuilder b;
    const auto report = b.add("report.pdf");
    const auto mine = b.add("my-report.pdf");
    Matcher m(b.open());
    EXPECT_EQ(m.match(andQuery({sub("rep"), sub("report")})),
              (std::vector<Match>{{report, MatchQuality::prefix, 0},
                                  {mine, MatchQuality::wordBoundary, 3}}));
    // "pdf" grades wordBoundary at 7, "report" prefix at 0: the better grade wins.
    EXPECT_EQ(m.match(andQuery({sub("pdf"), sub("report")}))[0],
              (Match{report, MatchQuality::prefix, 0}));
    // Without a scored term: substring at 0.
    EXPECT_EQ(m.match(andQuery({Term::ext("pdf")}))[0],
              (Match{report, MatchQuality::substring, 0}));
}

TEST(Matcher, ExtensionRule) {
    StoreBuilder b;
    const auto upper = b.add("a.PNG");
    b.add("png"), b.add(".png"), b.add("a.png."), b.add("a.jpeg");
    const auto twoDots = b.add("a.b.jpg");
    Matcher m(b.open());
    EXPECT_EQ(idsOf(m.match(andQuery({Term::ext("jpg,png")}))),
              (std::vector<std::uint32_t>{upper, twoDots}));
    EXPECT_TRUE(m.match(andQuery({Term::ext(".png")})).empty()); // a leading dot never matches
    EXPECT_TRUE(m.match(andQuery({Term::ext(",")})).empty());
    EXPECT_EQ(idsOf(m.match(andQuery({Term::ext(",png,")}))), (std::vector<std::uint32_t>{upper}));
}

TEST(Matcher, SizeDateAndNegationsOnRecordsWithoutAttributes) {
    StoreBuilder b;
    const auto bare = b.add("bare");
    const auto big = b.add("big");
    const auto small = b.add("small");
    const auto old = b.add("old");
    const std::uint32_t now = static_cast<std::uint32_t>(std::time(nullptr));
    b.builder.setAttributes(big, 5'000'000, now);
    b.builder.setAttributes(small, 10, now - 3600);
    b.builder.setAttributes(old, 10, now - 400 * 86400);
    Matcher m(b.open());
    const Term large = Term::size(SizeComparison::greaterThan(1'000'000));
    const Term recent = Term::dateModified(DateConstraint::withinDays(7));
    auto ids = [&](std::vector<Term> terms) { return idsOf(m.match(andQuery(std::move(terms)))); };
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(ids({large}), (V{big}));
    EXPECT_EQ(ids({Term::not_(large)}), (V{bare, small, old}));
    EXPECT_EQ(ids({Term::not_(Term::not_(large))}), (V{big}));
    EXPECT_EQ(ids({Term::size(SizeComparison::equalTo(10))}), (V{small, old}));
    EXPECT_EQ(ids({Term::size(SizeComparison::lessThan(11))}), (V{small, old}));
    EXPECT_EQ(ids({recent}), (V{big, small}));
    EXPECT_EQ(ids({Term::not_(recent)}), (V{bare, old}));
    EXPECT_EQ(ids({Term::dateModified(DateConstraint::withinDays(std::int64_t{1} << 60))}), V{});
    EXPECT_FALSE(m.matches(large, bare));
    EXPECT_TRUE(m.matches(Term::not_(large), bare));
}

TEST(Matcher, TypeTermsAndApplicationBundles) {
    StoreBuilder b;
    const auto file = b.add("f");
    const auto folder = b.addFolder("d");
    const auto app = b.addFolder("A.app", FileRecord::rootParentID, RecordFlags::isApp);
    Matcher m(b.open());
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(idsOf(m.match(andQuery({Term::type(TypeConstraint::file)}))), (V{file}));
    EXPECT_EQ(idsOf(m.match(andQuery({Term::type(TypeConstraint::folder)}))), (V{folder, app}));
    EXPECT_EQ(idsOf(m.match(andQuery({Term::type(TypeConstraint::app)}))), (V{app}));
}

TEST(Matcher, ContainsAloneMatchesEveryLiveRecord) {
    StoreBuilder b;
    b.add("a"), b.add("b", FileRecord::rootParentID, RecordFlags::deleted), b.add("c");
    Matcher m(b.open());
    EXPECT_EQ(idsOf(m.match(andQuery({Term::contains("x")}))), (std::vector<std::uint32_t>{0, 2}));
}

TEST(Matcher, RegularExpressions) {
    StoreBuilder b;
    const auto img = b.add("IMG_1234.JPG");
    const auto report = b.add("Annual Report 2024.pdf");
    const auto broken = b.add(std::string("a\xff") + "b");
    const auto greek = b.add("ΣΟΦΙΑ.txt");
    Matcher m(b.open());
    auto ids = [&](const std::string& p) { return idsOf(m.match(andQuery({Term::regex(p)}))); };
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(ids("^img_\\d+\\.jpg$"), (V{img}));
    EXPECT_EQ(ids("report.*2024"), (V{report})); // searched, not anchored; case-insensitive
    EXPECT_EQ(ids("^a.b$"), (V{broken}));        // the invalid byte reads as one U+FFFD
    EXPECT_EQ(ids("σοφια"), (V{greek}));         // Unicode case folding
    EXPECT_EQ(ids("^\\w+\\.txt$"), (V{greek}));  // Unicode properties
    // A pattern that does not compile matches nothing, every time, and other groups still do.
    EXPECT_EQ(ids("("), V{});
    EXPECT_EQ(ids("("), V{});
    EXPECT_EQ(idsOf(m.match(orQuery({{Term::regex("(")}, {sub("img")}}))), (V{img}));
    EXPECT_FALSE(m.matches(Term::regex("("), img));
}

TEST(Matcher, RegularExpressionCodePointEscapes) {
    StoreBuilder b;
    const auto cafe = b.add("Caf\xC3\xA9.txt");
    const auto smile = b.add("\xF0\x9F\x98\x80.png");
    const auto typed = b.add("back\\u0041slash");
    Matcher m(b.open());
    auto ids = [&](const std::string& p) { return idsOf(m.match(andQuery({Term::regex(p)}))); };
    using V = std::vector<std::uint32_t>;
    for (const char* p : {"caf\\u00e9", "caf\\u00C9", "caf\\x{e9}", "caf\\xe9", "caf\\u{e9}",
                          "[\\u00e0-\\u00ff]\\.txt", "\\u0043af"})
        EXPECT_EQ(ids(p), (V{cafe})) << p;
    EXPECT_EQ(ids("^\\U0001F600\\."), (V{smile}));
    EXPECT_EQ(ids("\\x{1F600}"), (V{smile}));
    // An escaped backslash and quoted text keep "\u" as typed.
    EXPECT_EQ(ids("k\\\\u0041s"), (V{typed}));
    EXPECT_EQ(ids("\\Q\\u0041\\E"), (V{typed}));
}

TEST(Matcher, OrGroupsKeepTheBestQualityEarlierGroupOnTies) {
    StoreBuilder b;
    const auto id = b.add("report-draft.txt");
    Matcher m(b.open());
    // draft: wordBoundary at 7; report: prefix at 0.
    EXPECT_EQ(m.match(orQuery({{sub("draft")}, {sub("report")}})),
              (std::vector<Match>{{id, MatchQuality::prefix, 0}}));
    // Both substring: the first group's offset stays.
    EXPECT_EQ(m.match(orQuery({{sub("aft")}, {sub("epo")}})),
              (std::vector<Match>{{id, MatchQuality::substring, 9}}));
    EXPECT_EQ(m.match(orQuery({{sub("nothing")}, {sub("txt")}})),
              (std::vector<Match>{{id, MatchQuality::wordBoundary, 13}}));
}

TEST(Matcher, CandidatesKeepTheirOrderAndSkipDeletedRecords) {
    StoreBuilder b;
    b.add("x1"), b.add("x2", FileRecord::rootParentID, RecordFlags::deleted), b.add("x3");
    Matcher m(b.open());
    const std::vector<std::uint32_t> candidates = {2, 1, 0, 7};
    EXPECT_EQ(idsOf(m.match(andQuery({sub("x")}), candidates)), (std::vector<std::uint32_t>{2, 0}));
    EXPECT_EQ(idsOf(m.match(andQuery({sub("x")}))), (std::vector<std::uint32_t>{0, 2}));
    EXPECT_TRUE(m.match(andQuery({sub("x")}), std::span<const std::uint32_t>{}).empty());
}

TEST(Matcher, PathContainmentWalksAtMost256Names) {
    StoreBuilder b;
    std::uint32_t parent = b.addFolder("top-marker");
    std::vector<std::uint32_t> chain = {parent};
    for (int i = 1; i < 300; ++i)
        chain.push_back(parent = b.addFolder("d", parent));
    Matcher m(b.open());
    const Term marker = Term::pathContains("MARKER");
    // chain[k] has k ancestors: its chain of names holds k + 1 names.
    EXPECT_TRUE(m.matches(marker, chain[0]));
    EXPECT_TRUE(m.matches(marker, chain[255]));  // the marker is the 256th name
    EXPECT_FALSE(m.matches(marker, chain[256])); // the 257th
    EXPECT_FALSE(m.matches(Term::pathContains(""), chain[0]));
}

TEST(Matcher, PathContainmentWithSlashComparesWholePathsCaseInsensitively) {
    StoreBuilder b;
    const auto root = b.addFolder("");
    const auto home = b.addFolder("Home", root);
    const auto street = b.addFolder("Straße", home);
    const auto file = b.add("Ärger.txt", street);
    const auto other = b.add("x", home);
    Matcher m(b.open());
    using V = std::vector<std::uint32_t>;
    auto ids = [&](const std::string& t) {
        return idsOf(m.match(andQuery({Term::pathContains(t)})));
    };
    EXPECT_EQ(ids("home/strasse/ä"), (V{file})); // full case folding, not only ASCII
    EXPECT_EQ(ids("/HOME/"), (V{street, file, other}));
    EXPECT_EQ(ids("/home"), (V{home, street, file, other}));
    EXPECT_EQ(ids("e/x"), (V{other}));
    EXPECT_EQ(ids("/"), (V{root, home, street, file, other}));
}

TEST(Matcher, DoubleNegationAndPhrases) {
    StoreBuilder b;
    const auto id = b.add("my draft notes");
    b.add("draft");
    Matcher m(b.open());
    EXPECT_EQ(m.match(andQuery({Term::exactPhrase("t n")})),
              (std::vector<Match>{{id, MatchQuality::substring, 7}}));
    EXPECT_EQ(idsOf(m.match(andQuery({sub("draft"), Term::not_(sub("notes"))}))),
              (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(m.match(andQuery({Term::not_(Term::not_(sub("notes")))})),
              (std::vector<Match>{{id, MatchQuality::substring, 0}}));
}

TEST(Matcher, ParsedQueriesEndToEnd) {
    StoreBuilder b;
    const auto pdf = b.add("Report.pdf");
    b.add("report.txt");
    Matcher m(b.open());
    EXPECT_EQ(idsOf(m.match(QueryParser::parse("report .pdf"))), (std::vector<std::uint32_t>{pdf}));
}

} // namespace
} // namespace ulmaro
