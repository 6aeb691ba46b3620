// The shape dispatch on stores from 20000 records: every fast path against the record-by-record
// oracle, serial against parallel, the blob scan against the name-by-name scan, and the fuzzy
// fallback.

#include "MatcherTestsSupport.h"
#include "SubstringTerm.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/SubstringScan.h"
#include "UlmaroKit/Search/TrigramIndex.h"
#include "bench/SyntheticIndex.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace ulmaro {
namespace {

using test::andQuery;
using test::idsOf;
using test::recordByRecord;
using test::StoreBuilder;
using Ids = std::vector<std::uint32_t>;

using test::sub;

std::shared_ptr<const TrigramIndex> trigramsOf(const IndexStore& store) {
    auto built = TrigramIndex::build([&](std::uint32_t i) { return store.nameBytes(i); },
                                     static_cast<std::uint32_t>(store.count()));
    return std::make_shared<const TrigramIndex>(std::move(*built));
}

// Queries whose fast path means exactly what the record-by-record path means.
const std::vector<std::string>& sameMeaningQueries() {
    static const std::vector<std::string> q = {"report",
                                               "REPORT",
                                               "e",
                                               "Ab",
                                               "img_1",
                                               "résumé",
                                               "zzzzqqq",
                                               "a b",
                                               "report draft",
                                               "a b c d",
                                               "photo paris 2023",
                                               "report documents .pdf",
                                               "report 2023 !draft size:>10kb",
                                               "report draft | notes photo",
                                               "draft | photo paris",
                                               "\"final draft\"",
                                               ".jpg",
                                               "ext:pdf,txt size:>100kb",
                                               "!report .txt",
                                               "file: test",
                                               "folder: !build",
                                               "app:",
                                               "dm:<30d photo",
                                               "report | invoice",
                                               "report | .png size:<1kb",
                                               "/^img_\\d+\\.jpg$/",
                                               "/report.*2024/",
                                               "/(jpe?g|png)$/",
                                               "/[a-z]{12}/",
                                               "/(/",
                                               "path:Documents report",
                                               "path:node_modules",
                                               "path:/user/",
                                               "contains:x"};
    return q;
}

class FastPaths : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        IndexWriter::write(bench::syntheticIndex(30000, 7), {}, *dir_ / "index.bin");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::shared_ptr<const IndexStore> store() {
        return IndexStore::open(*dir_ / "index.bin");
    }

    static test::TempDir* dir_;
};
test::TempDir* FastPaths::dir_ = nullptr;

TEST_F(FastPaths, EveryShapeEqualsTheRecordByRecordPath) {
    auto s = store();
    Matcher plain(s);
    Matcher narrowed(s);
    narrowed.setTrigrams(trigramsOf(*s));
    for (const std::string& text : sameMeaningQueries()) {
        SCOPED_TRACE(text);
        const Query q = QueryParser::parse(text);
        const std::vector<Match> oracle = recordByRecord(plain, q);
        EXPECT_EQ(plain.match(q), oracle);
        EXPECT_EQ(narrowed.match(q), oracle);
    }
}

TEST_F(FastPaths, NarrowingWithinABigAscendingListEqualsTestingEachCandidate) {
    auto s = store();
    Matcher m(s);
    Ids pool;
    for (std::uint32_t id = 0; id < s->count(); ++id)
        if (id % 7 != 3) pool.push_back(id);
    ASSERT_GE(pool.size(), Matcher::wholeStoreDispatchThreshold);
    Ids reversed(pool.rbegin(), pool.rend());
    for (const char* text : {"er", "ER", "e", "repo", "zzqq"}) {
        SCOPED_TRACE(text);
        const Query q = QueryParser::parse(text);
        std::vector<Match> oneByOne = m.match(q, reversed);
        std::reverse(oneByOne.begin(), oneByOne.end());
        EXPECT_EQ(m.match(q, pool), oneByOne);
    }
}

TEST_F(FastPaths, SerialEqualsParallelWithManyThreads) {
    auto s = store();
    WorkerPool one(1), many(24);
    Matcher serial(s, &one);
    Matcher parallel(s, &many);
    Matcher parallelNarrowed(s, &many);
    parallelNarrowed.setTrigrams(trigramsOf(*s));
    std::vector<std::string> queries = sameMeaningQueries();
    queries.insert(queries.end(), {"kywrd", "reprt"});
    for (const std::string& text : queries) {
        SCOPED_TRACE(text);
        const Query q = QueryParser::parse(text);
        const std::vector<Match> expected = serial.matchWithFuzzyFallback(q);
        EXPECT_EQ(parallel.matchWithFuzzyFallback(q), expected);
        EXPECT_EQ(parallelNarrowed.matchWithFuzzyFallback(q), expected);
        for (std::size_t i = 1; i < expected.size(); ++i) {
            if (expected[i].quality != MatchQuality::fuzzy) {
                ASSERT_LT(expected[i - 1].id, expected[i].id);
            }
        }
    }
}

TEST(FastPathsAtTheThreshold, SameAnswersJustBelowAndAtTwentyThousand) {
    for (std::size_t count :
         {Matcher::wholeStoreDispatchThreshold - 1, Matcher::wholeStoreDispatchThreshold}) {
        SCOPED_TRACE(count);
        test::TempDir dir;
        IndexWriter::write(bench::syntheticIndex(count, 3), {}, dir / "index.bin");
        auto s = IndexStore::open(dir / "index.bin");
        Matcher m(s);
        for (const std::string& text : sameMeaningQueries()) {
            SCOPED_TRACE(text);
            const Query q = QueryParser::parse(text);
            EXPECT_EQ(m.match(q), recordByRecord(m, q));
        }
    }
}

// Names laid out in the blob in another order than their records: the scan goes name by name
// and must still find the same.
TEST(FastPathsBlobLayout, ShuffledBlobGivesTheSameResults) {
    IndexBuilder ordered = bench::syntheticIndex(25000, 5);
    const IndexBuilder shuffled = test::withShuffledBlob(ordered);
    test::TempDir dir;
    IndexWriter::write(ordered, {}, dir / "a.bin");
    IndexWriter::write(shuffled, {}, dir / "b.bin");
    Matcher a(IndexStore::open(dir / "a.bin"));
    Matcher b(IndexStore::open(dir / "b.bin"));
    EXPECT_TRUE(a.store().namesInRecordOrder());
    EXPECT_FALSE(b.store().namesInRecordOrder());
    for (const char* text : {"report", "e", "a b", "path:Documents", "/report.*2024/", "ReSu"}) {
        SCOPED_TRACE(text);
        const Query q = QueryParser::parse(text);
        EXPECT_EQ(a.match(q), b.match(q));
    }
}

// The kernel at the edges of its 16- and 32-byte steps, across neighbouring names, with every
// needle length, against a plain loop.
TEST(SubstringScanKernel, MatchesAPlainLoopEverywhere) {
    bench::SyntheticNames g(11);
    StoreBuilder b;
    for (int i = 0; i < 3000; ++i) {
        std::string name;
        const std::size_t len = g.below(70);
        for (std::size_t k = 0; k < len; ++k)
            name += "abAB._-xy\xc3\xa9"[g.below(12)];
        b.add(name, FileRecord::rootParentID, g.chance(5) ? RecordFlags::deleted : RecordFlags{});
    }
    auto s = b.open();
    ASSERT_TRUE(s->namesInRecordOrder());
    auto plain = [&](std::string_view needle) {
        std::vector<Match> out;
        for (std::uint32_t id = 0; id < s->count(); ++id) {
            if ((*s)[id].flags.contains(RecordFlags::deleted)) continue;
            const std::string name(s->nameBytes(id));
            const std::string lower = SubstringScan::folded(name);
            const std::size_t p = lower.find(needle);
            if (p != std::string::npos)
                out.push_back({id, SubstringScan::grade(name, p, needle.size()),
                               static_cast<std::int32_t>(p)});
        }
        return out;
    };
    for (const char* needle : {"a", "b", ".", "ab", "ba", "a.", "_-", "aba", "abab", "x\xc3\xa9",
                               "abababab", "aaaaaaaaaaaaaaaaa", "ab.ab_ab-abxyab", "\xc3"}) {
        SCOPED_TRACE(needle);
        const std::vector<Match> expected = plain(needle);
        for (bool blob : {true, false}) {
            std::vector<Match> got;
            SubstringScan::scanRange(*s, 0, static_cast<std::uint32_t>(s->count()), needle, blob,
                                     false, got);
            EXPECT_EQ(got, expected) << (blob ? "blob" : "names");
        }
    }
}

TEST(SubstringScanKernel, NeverMatchesAcrossTwoNames) {
    StoreBuilder b;
    b.add("xxab"), b.add("cdxx"), b.add(""), b.add("ab"), b.add("cd");
    auto s = b.open();
    ASSERT_TRUE(s->namesInRecordOrder());
    std::vector<Match> out;
    SubstringScan::scanRange(*s, 0, 5, "abcd", true, false, out);
    SubstringScan::scanRange(*s, 0, 5, "bc", true, false, out);
    EXPECT_TRUE(out.empty());
    SubstringScan::scanRange(*s, 1, 4, "ab", true, false, out);
    EXPECT_EQ(out, (std::vector<Match>{{3, MatchQuality::exact, 0}}));
}

// MARK: - Several words

// Several plain words: one in the record's own name, each of the others in it or in a folder
// above it. A filter only narrows; the answer for one record never depends on other records;
// every road (the fast paths with and without trigrams, record by record, a candidate list,
// one thread or many) gives the same.
struct SeveralWordsStore {
    StoreBuilder b;
    std::uint32_t budget = b.addFolder("Budget");
    std::uint32_t finalTxt = b.add("final.txt", budget);
    std::uint32_t bothInName = b.add("budget final.xlsx");
    std::uint32_t docs = b.addFolder("docs");
    std::uint32_t reportPdf = b.add("report.pdf", docs);
    std::uint32_t draftPdf = b.add("report-draft.pdf", docs);
    std::uint32_t reportTxt = b.add("report.txt", docs);
    std::uint32_t elsewhere = b.add("report-elsewhere.pdf");
    // The shortest of four words stands only in the name; the three longer ones above it.
    std::uint32_t leaf =
        b.add("dd-leaf", b.addFolder("charl", b.addFolder("bravox", b.addFolder("alphax"))));
    // A deleted folder still lends its name to what was below it.
    std::uint32_t archive = b.addFolder("archive", FileRecord::rootParentID, RecordFlags::deleted);
    std::uint32_t old = b.add("budget-2019.txt", archive);
};

class SeveralWords : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SeveralWords, OneMeaningOnEveryRoad) {
    SeveralWordsStore f;
    f.b.padTo(GetParam());
    auto s = f.b.open();
    WorkerPool one(1), many(8);
    Matcher serial(s, &one), parallel(s, &many), narrowed(s, &many);
    narrowed.setTrigrams(trigramsOf(*s));
    // More distinct words than a 64-bit set holds: every piece of "report-draft.pdf" and "docs"
    // (none starting with ".", which would be an extension filter).
    std::set<std::string> pieces;
    for (const std::string word : {"report-draft.pdf", "docs"})
        for (std::size_t i = 0; i < word.size(); ++i)
            for (std::size_t j = i + 1; j <= word.size() && word[i] != '.'; ++j)
                pieces.insert(word.substr(i, j - i));
    ASSERT_GT(pieces.size(), 64u);
    std::string manyWords;
    for (const std::string& piece : pieces)
        manyWords += piece + " ";
    const std::vector<std::pair<std::string, Ids>> cases = {
        {"budget final", {f.finalTxt, f.bothInName}},
        {"final budget", {f.finalTxt, f.bothInName}},
        {"report docs", {f.reportPdf, f.draftPdf, f.reportTxt}},
        {"report docs .pdf", {f.reportPdf, f.draftPdf}},
        {"report docs !draft", {f.reportPdf, f.reportTxt}},
        {"report docs file:", {f.reportPdf, f.draftPdf, f.reportTxt}},
        {"report docs /\\.pdf$/", {f.reportPdf, f.draftPdf}},
        {"report docs | budget final",
         {f.finalTxt, f.bothInName, f.reportPdf, f.draftPdf, f.reportTxt}},
        {"report docs .pdf | zzzz", {f.reportPdf, f.draftPdf}},
        {"alphax bravox charl dd", {f.leaf}},
        {"dd charl bravox alphax", {f.leaf}},
        {"archive budget", {f.old}},
        {"budget budget", {f.budget, f.bothInName, f.old}},
        {"docs docs report", {f.reportPdf, f.draftPdf, f.reportTxt}},
        {"docs zebra", {}},
        {manyWords, {f.draftPdf}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const Query q = QueryParser::parse(text);
        const std::vector<Match> oracle = recordByRecord(serial, q);
        EXPECT_EQ(idsOf(oracle), expected);
        EXPECT_EQ(serial.match(q), oracle);
        EXPECT_EQ(parallel.match(q), oracle);
        EXPECT_EQ(narrowed.match(q), oracle);
    }
    // A candidate list asks about each record alone.
    const Ids alone = {f.finalTxt};
    EXPECT_EQ(idsOf(serial.match(QueryParser::parse("budget final"), alone)), alone);
    EXPECT_EQ(idsOf(serial.match(QueryParser::parse("budget final .txt"), alone)), alone);
    // The grade is the best among the words in the name, the earlier word on a tie.
    EXPECT_EQ(serial.match(QueryParser::parse("budget final"), alone),
              (std::vector<Match>{{f.finalTxt, MatchQuality::prefix, 0}}));
    const Ids both = {f.bothInName};
    EXPECT_EQ(serial.match(QueryParser::parse("final budget"), both),
              (std::vector<Match>{{f.bothInName, MatchQuality::prefix, 0}}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SeveralWords,
                         ::testing::Values(std::size_t{10},
                                           Matcher::wholeStoreDispatchThreshold - 1,
                                           Matcher::wholeStoreDispatchThreshold,
                                           std::size_t{50000}));

// A record's folders are read up to 255 levels up, as a folder word reads them.
TEST(SeveralWordsFolders, ReachAsFarAsAFolderWord) {
    for (std::size_t count : {std::size_t{10}, Matcher::wholeStoreDispatchThreshold}) {
        SCOPED_TRACE(count);
        StoreBuilder b;
        std::uint32_t deep = b.addFolder("top");
        for (int i = 0; i < 300; ++i)
            deep = b.addFolder("d", deep);
        const auto file = b.add("note.txt", deep);
        b.padTo(count, "z");
        Matcher m(b.open());
        EXPECT_TRUE(m.match(QueryParser::parse("note top")).empty());
        EXPECT_EQ(idsOf(m.match(QueryParser::parse("note d"))), (Ids{file}));
    }
}

// MARK: - Folder word

TEST(FolderWord, MatchesTheFolderAndEverythingBelowIt) {
    StoreBuilder b;
    const auto root = b.addFolder("");
    const auto projects = b.addFolder("My Projects", root);
    const auto sub1 = b.addFolder("src", projects);
    const auto file = b.add("main.cpp", sub1);
    b.add("gone.cpp", sub1, RecordFlags::deleted);
    const auto deletedFolder = b.addFolder("old projects", root, RecordFlags::deleted);
    const auto orphan = b.add("kept.txt", deletedFolder);
    b.add("elsewhere", root);
    std::uint32_t deep = projects;
    for (int i = 0; i < 300; ++i)
        deep = b.addFolder("d", deep);
    b.padTo(Matcher::wholeStoreDispatchThreshold, "z");
    Matcher m(b.open());
    const Ids found = idsOf(m.match(andQuery({Term::pathContains("PROJECT")})));
    EXPECT_EQ(std::vector<std::uint32_t>(found.begin(), found.begin() + 4),
              (Ids{projects, sub1, file, orphan}));
    // 256 ancestors at most: the 300-level chain is cut.
    EXPECT_EQ(found.size(), 4u + 256u);
}

// MARK: - Prefilters

TEST(Prefilters, MissingTrigramAndAbsentLiteralAnswerEmpty) {
    StoreBuilder b;
    b.add("photo.jpg");
    b.padTo(Matcher::wholeStoreDispatchThreshold, "z");
    auto s = b.open();
    Matcher m(s);
    m.setTrigrams(trigramsOf(*s));
    EXPECT_TRUE(m.match(andQuery({sub("qqq")})).empty());
    EXPECT_EQ(idsOf(m.match(andQuery({sub("PHO")}))), (Ids{0}));
    EXPECT_EQ(idsOf(m.match(andQuery({sub("o")}))), (Ids{0})); // too short for trigrams
    EXPECT_TRUE(m.match(andQuery({Term::regex("^qqqx+")})).empty());
    EXPECT_EQ(idsOf(m.match(andQuery({Term::regex("^PHOTO\\.")}))), (Ids{0}));
}

TEST(Prefilters, TheRegexLiteralNeverHidesARealMatch) {
    StoreBuilder b;
    const auto kelvin = b.add("\xE2\x84\xAA"
                              "elvin.txt"); // U+212A KELVIN SIGN
    const auto longS = b.add("cla\xC5\xBF"
                             "sic.txt"); // U+017F LATIN SMALL LETTER LONG S
    const auto accepted = b.add("abc");
    b.padTo(Matcher::wholeStoreDispatchThreshold, "z");
    auto s = b.open();
    Matcher m(s);
    m.setTrigrams(trigramsOf(*s));
    EXPECT_EQ(idsOf(m.match(andQuery({Term::regex("kelvin")}))), (Ids{kelvin}));
    EXPECT_EQ(idsOf(m.match(andQuery({Term::regex("classic")}))), (Ids{longS}));
    EXPECT_EQ(idsOf(m.match(andQuery({Term::regex("abc(*ACCEPT)defgh")}))), (Ids{accepted}));
    EXPECT_EQ(idsOf(m.match(andQuery({Term::regex("abc[[]|elvin")}))), (Ids{kelvin}));
}

// MARK: - Fuzzy fallback

TEST(FuzzyFallback, LimitsExclusionsAndOrder) {
    StoreBuilder b;
    const auto exact = b.add("keyword.txt");
    b.add("k-e-y-w-o-r-d gone", FileRecord::rootParentID, RecordFlags::deleted);
    for (int i = 0; i < 80; ++i)
        b.add("key_word_" + std::to_string(i));
    b.padTo(Matcher::wholeStoreDispatchThreshold, "z");
    Matcher m(b.open());
    const std::vector<Match> r = m.matchWithFuzzyFallback(QueryParser::parse("keyword"));
    ASSERT_EQ(r.size(), 1u + Matcher::maxFuzzyResults);
    EXPECT_EQ(r[0], (Match{exact, MatchQuality::prefix, 0}));
    for (std::size_t i = 1; i < r.size(); ++i) {
        EXPECT_EQ(r[i].quality, MatchQuality::fuzzy);
        EXPECT_NE(r[i].id, exact);
        EXPECT_NE(r[i].id, 1u); // deleted
        if (i > 1) {
            EXPECT_LT(r[i - 1].id, r[i].id); // equal scores: record order
        }
    }
    // Not for two words, groups, phrases, short or long needles; not through candidates.
    for (const char* text : {"kywrd x", "kywrd | kywrdd", "\"kywrd\"", "kw", ".kywrd"})
        EXPECT_TRUE(m.matchWithFuzzyFallback(QueryParser::parse(text)).empty()) << text;
    EXPECT_TRUE(m.matchWithFuzzyFallback(andQuery({sub(std::string(33, 'k'))})).empty());
    EXPECT_FALSE(m.matchWithFuzzyFallback(QueryParser::parse("KYWRD")).empty());
    const Ids none;
    EXPECT_EQ(m.matchWithFuzzyFallback(QueryParser::parse("kywrd"), none).size(),
              Matcher::maxFuzzyResults);
}

} // namespace
} // namespace ulmaro

namespace ulmaro {
namespace {

TEST(EmptyStore, EveryShapeFindsNothing) {
    test::StoreBuilder b;
    Matcher m(b.open());
    for (const std::string& text : sameMeaningQueries())
        EXPECT_TRUE(m.matchWithFuzzyFallback(QueryParser::parse(text)).empty()) << text;
    EXPECT_TRUE(m.match(QueryParser::parse("two words")).empty());
}

} // namespace
} // namespace ulmaro
