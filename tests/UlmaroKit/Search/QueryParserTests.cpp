#include "SubstringTerm.h"
#include "UlmaroKit/Search/QueryParser.h"

#include <gtest/gtest.h>
#include <limits>

namespace ulmaro {
namespace {

using Terms = std::vector<Term>;

using test::sub;
Term ext(std::string s) {
    return Term::ext(std::move(s));
}
Term neg(Term t) {
    return Term::not_(std::move(t));
}
Term type(TypeConstraint c) {
    return Term::type(c);
}
Term size(SizeComparison c) {
    return Term::size(c);
}
Term date(DateConstraint c) {
    return Term::dateModified(c);
}

struct ParseCase {
    std::string text;
    Terms andTerms;
    std::vector<Terms> orGroups = {};
};

void expectParses(const std::vector<ParseCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE("query text: [" + c.text + "]");
        const Query q = QueryParser::parse(c.text);
        EXPECT_EQ(q.andTerms, c.andTerms);
        EXPECT_EQ(q.orGroups, c.orGroups);
        EXPECT_EQ(q.raw, c.text);
    }
}

TEST(QueryParser, WordsAlternativesAndNegation) {
    expectParses({
        {"report", {sub("report")}},
        {"report invoice", {sub("report"), sub("invoice")}},
        {"report  invoice", {sub("report"), sub("invoice")}},
        {"report | invoice", {}, {{sub("report")}, {sub("invoice")}}},
        {"a b|c", {}, {{sub("a"), sub("b")}, {sub("c")}}},
        {"ext:txt | ext:bin", {}, {{ext("txt")}, {ext("bin")}}},
        // A "|" that separates nothing stays a word.
        {"report |", {sub("report"), sub("|")}},
        {"| report", {sub("|"), sub("report")}},
        {"|", {sub("|")}},
        {"a || b", {}, {{sub("a")}, {sub("b")}}},
        {"a | \"\"", {sub("a"), sub("|")}},
        {"!draft", {neg(sub("draft"))}},
        {"!!draft", {sub("draft")}},
        {"!!!draft", {neg(sub("draft"))}},
        {"!ext:pdf", {neg(ext("pdf"))}},
        {"!", {sub("!")}},
        {"!!", {sub("!!")}},
        {"!path:", {neg(sub("path:"))}},
        {"!\"\"", {sub("!\"\"")}},
        {"colour:red", {sub("colour:red")}},
        {"a\tb", {sub("a\tb")}},
    });
}

TEST(QueryParser, TypeOperators) {
    expectParses({
        {"folder:", {type(TypeConstraint::folder)}},
        {"FOLDER:", {type(TypeConstraint::folder)}},
        {"folder:Invoices", {type(TypeConstraint::folder), sub("Invoices")}},
        {"app:safari", {type(TypeConstraint::app), sub("safari")}},
        {"file:.pdf", {type(TypeConstraint::file), ext("pdf")}},
        {"folder:!x", {type(TypeConstraint::folder), neg(sub("x"))}},
        {"folder:\"\"", {type(TypeConstraint::folder), sub("\"\"")}},
        {"folder:app:", {type(TypeConstraint::folder), type(TypeConstraint::app)}},
        {"!folder:", {neg(type(TypeConstraint::folder))}},
        {"!folder:Invoices", {sub("!folder:Invoices")}},
        {"!!folder:Invoices", {type(TypeConstraint::folder), sub("Invoices")}},
        // Only value operators take their value after a space.
        {"folder: Invoices", {type(TypeConstraint::folder), sub("Invoices")}},
        {"size: >100mb", {size(SizeComparison::greaterThan(104857600))}},
        {"path: Downloads", {Term::pathContains("Downloads")}},
        {"path: | x", {}, {{sub("path:")}, {sub("x")}}},
        {"size:", {sub("size:")}},
        {"path:", {sub("path:")}},
    });
}

TEST(QueryParser, QuotesAndSlashes) {
    expectParses({
        {"\"annual plan\"", {Term::exactPhrase("annual plan")}},
        {"\"annual plan", {sub("annual plan")}},
        {"\"\"", {}},
        {"\"", {}},
        {"\"a | b\" c", {Term::exactPhrase("a | b"), sub("c")}},
        {"contains:\"annual plan\"", {Term::contains("annual plan")}},
        {"in:Brindlewick", {Term::contains("Brindlewick")}},
        {"contains:\"\"", {sub("contains:\"\"")}},
        {"contains:\"a", {Term::contains("\"a")}},
        {"contains: \"x y\"", {Term::contains("x y")}},
        {"/a|b/", {Term::regex("a|b")}},
        {"/^a.*z$/", {Term::regex("^a.*z$")}},
        {"/tmp/", {Term::regex("tmp")}},
        {"/Users/me/", {sub("/Users/me/")}},
        {"/a/b(/", {Term::regex("a/b(")}},
        {"//", {Term::regex("")}},
        {"/", {sub("/")}},
        {"/abc", {sub("/abc")}},
        {"/a b/ c", {Term::regex("a b"), sub("c")}},
        {"a/b/ c", {sub("a/b/"), sub("c")}},
        {"/\"x/", {Term::regex("\"x")}},
        {"\"/x\" y", {Term::exactPhrase("/x"), sub("y")}},
        {"\\d", {sub("\\d")}},
    });
}

TEST(QueryParser, ExtensionsAndPaths) {
    expectParses({
        {".pdf", {ext("pdf")}},
        {".PDF", {ext("pdf")}},
        {".config", {ext("config")}},
        {".mp3", {ext("mp3")}},
        {".DS_Store", {sub(".DS_Store")}},
        {".123", {sub(".123")}},
        {".gitignore", {sub(".gitignore")}},
        {".", {sub(".")}},
        {".\xC3\xA9t\xC3\xA9", {ext("\xC3\xA9t\xC3\xA9")}}, // letters beyond ASCII
        {".\xC3\x89T\xC3\x89", {ext("\xC3\xA9t\xC3\xA9")}}, // lowered by Unicode rules
        {".e\xCC\x81"
         "abcdefg",
         {ext("e\xCC\x81"
              "abcdefg")}}, // 9 characters, 10 scalars
        {"ext:txt,bin", {ext("txt,bin")}},
        {"ext:.PDF,docx", {ext("pdf,docx")}},
        {"EXT:pdf", {ext("pdf")}},
        {"ext:,.,", {sub("ext:,.,")}},
        {"ext:..pdf", {ext(".pdf")}},
        {"ext:", {sub("ext:")}},
        {"path:Downloads/Old", {Term::pathContains("Downloads/Old")}},
        {"PATH:MixedCase", {Term::pathContains("MixedCase")}},
        {"path:a:b", {Term::pathContains("a:b")}},
    });
}

TEST(QueryParser, Sizes) {
    const auto max = std::numeric_limits<std::uint64_t>::max();
    expectParses({
        {"size:>100mb", {size(SizeComparison::greaterThan(104857600))}},
        {"SIZE:>100MB", {size(SizeComparison::greaterThan(104857600))}},
        {"size:<2gb", {size(SizeComparison::lessThan(2147483648))}},
        {"size:1kb", {size(SizeComparison::equalTo(1024))}},
        {"size:7b", {size(SizeComparison::equalTo(7))}},
        {"size:7", {size(SizeComparison::equalTo(7))}},
        {"size:+7", {size(SizeComparison::equalTo(7))}},
        {"size:>18446744073709551615", {size(SizeComparison::greaterThan(max))}},
        {"size:18446744073709551616", {sub("size:18446744073709551616")}},
        {"size:17179869184gb", {sub("size:17179869184gb")}}, // 2^34 * 2^30 overflows
        {"size:1.5gb", {sub("size:1.5gb")}},
        {"size:>=5mb", {sub("size:>=5mb")}},
        {"size:mb", {sub("size:mb")}},
        {"size:-5", {sub("size:-5")}},
        {"size:5 mb", {size(SizeComparison::equalTo(5)), sub("mb")}},
        {"size:1,000", {sub("size:1,000")}},
        {"ext:pdf size:>10mb", {ext("pdf"), size(SizeComparison::greaterThan(10485760))}},
    });
}

TEST(QueryParser, Dates) {
    expectParses({
        {"dm:today", {date(DateConstraint::today())}},
        {"DM:TODAY", {date(DateConstraint::today())}},
        {"dm:<7d", {date(DateConstraint::withinDays(7))}},
        {"dm:<7D", {date(DateConstraint::withinDays(7))}},
        {"dm:<+7d", {date(DateConstraint::withinDays(7))}},
        {"dm:<-7d", {date(DateConstraint::withinDays(-7))}},
        {"dm:<99999999999d", {date(DateConstraint::withinDays(99999999999))}},
        {"dm:<99999999999999999999d", {sub("dm:<99999999999999999999d")}},
        {"dm:<d", {sub("dm:<d")}},
        {"dm:<2024-3d", {sub("dm:<2024-3d")}},
        {"dm:2024-03", {date(DateConstraint::inMonth(2024, 3))}},
        {"dm:2024-3", {date(DateConstraint::inMonth(2024, 3))}},
        {"dm:-2024--3-", {date(DateConstraint::inMonth(2024, 3))}},
        {"dm:2024-12", {date(DateConstraint::inMonth(2024, 12))}},
        {"dm:2024-13", {sub("dm:2024-13")}},
        {"dm:2024-0", {sub("dm:2024-0")}},
        {"dm:2024-03-01", {sub("dm:2024-03-01")}},
        {"dm:2024", {sub("dm:2024")}},
        {"dm:yesterday", {sub("dm:yesterday")}},
        {"dm: <7d", {date(DateConstraint::withinDays(7))}},
    });
}

TEST(QueryParser, RawKeepsSurroundingWhiteSpace) {
    const Query a = QueryParser::parse("foo");
    const Query b = QueryParser::parse(" \tfoo\xE2\x80\x83"); // space, tab, em space
    EXPECT_EQ(a.andTerms, b.andTerms);
    EXPECT_NE(a, b);
    EXPECT_EQ(b.raw, " \tfoo\xE2\x80\x83");

    for (std::string blank : {"", "   ", "\t \xC2\xA0"}) {
        const Query q = QueryParser::parse(blank);
        EXPECT_TRUE(q.isEmpty());
        EXPECT_EQ(q.raw, blank);
    }
    // A newline is no trimmed white space.
    EXPECT_EQ(QueryParser::parse("a\n").andTerms, Terms{sub("a\n")});
}

TEST(QueryParser, WorksOnCharactersNotBytes) {
    // A quote or space carrying a combining mark is an ordinary character.
    const std::string acute = "\xCC\x81";
    EXPECT_EQ(QueryParser::parse("\"" + acute + "ab\"").andTerms,
              Terms{sub("\"" + acute + "ab\"")});
    EXPECT_EQ(QueryParser::parse("a " + acute + "b").andTerms, Terms{sub("a " + acute + "b")});
    // Invalid bytes are read as U+FFFD; raw keeps them.
    const Query q = QueryParser::parse("a\xFF");
    EXPECT_EQ(q.andTerms, Terms{sub("a\xEF\xBF\xBD")});
    EXPECT_EQ(q.raw, "a\xFF");
}

TEST(QueryParser, SplitTopLevelOr) {
    using V = std::vector<std::string>;
    EXPECT_EQ(QueryParser::splitTopLevelOr("report | invoice"), (V{"report", "invoice"}));
    EXPECT_EQ(QueryParser::splitTopLevelOr("ext:txt | ext:bin"), (V{"ext:txt", "ext:bin"}));
    EXPECT_EQ(QueryParser::splitTopLevelOr("  a   b|c  "), (V{"a b", "c"}));
    EXPECT_EQ(QueryParser::splitTopLevelOr("\"a | b\" /x|y/"), (V{"\"a | b\" /x|y/"}));
    EXPECT_EQ(QueryParser::splitTopLevelOr("size: >1kb | x"), (V{"size: >1kb", "x"}));
    EXPECT_EQ(QueryParser::splitTopLevelOr("| a ||"), (V{"a"}));
    EXPECT_EQ(QueryParser::splitTopLevelOr(" "), V{});
    EXPECT_EQ(QueryParser::splitTopLevelOr(""), V{});
}

TEST(QueryParser, OperatorKeys) {
    EXPECT_EQ(QueryParser::operatorKeys().size(), 9u);
    for (auto key : {"ext", "path", "contains", "in", "folder", "app", "file", "size", "dm"})
        EXPECT_TRUE(QueryParser::operatorKeys().contains(key)) << key;
}

TEST(QueryParser, ContentTermsSplitOff) {
    auto split = QueryParser::parse("report contains:brindlewick").splittingContentTerms();
    EXPECT_EQ(split.nameQuery.andTerms, Terms{sub("report")});
    EXPECT_EQ(split.contentNeedles, std::vector<std::string>{"brindlewick"});

    split = QueryParser::parse("report | contains:Brindlewick").splittingContentTerms();
    EXPECT_EQ(split.nameQuery.orGroups, std::vector<Terms>{{sub("report")}});
    EXPECT_EQ(split.contentNeedles, std::vector<std::string>{"Brindlewick"});

    const Query negated = QueryParser::parse("!contains:brindlewick");
    EXPECT_TRUE(negated.requiresContentScan());
    EXPECT_EQ(negated.splittingContentTerms().nameQuery, negated);
    EXPECT_TRUE(QueryParser::parse("!size:>100mb").requiresAttributes());
}

} // namespace
} // namespace ulmaro
