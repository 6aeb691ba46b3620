#include "UlmaroKit/Content/ContentIndex.h"
#include "UlmaroKit/Content/ContentSearcher.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "support/TempDir.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>

namespace ulmaro {
namespace {

using IndexHit = ContentIndex::Hit;

ContentIndex indexOf(std::initializer_list<std::pair<std::string, std::string>> docs) {
    ContentIndex index;
    double t = 100;
    for (const auto& [path, text] : docs)
        index.upsert(path, t++, text);
    return index;
}

void writeRaw(const std::filesystem::path& p, std::string_view table, std::string_view blob,
              std::uint32_t announced) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((announced >> (8 * i)) & 0xFF);
    bytes += table;
    bytes += blob;
    writeFileAtomically(p, bytes);
}

TEST(ContentIndex, SearchReportsFirstLinePerDocumentInTableOrder) {
    auto index = indexOf({
        {"/a.txt", "intro\nthe Budget line\nbudget again\nbudget"},
        {"/b.txt", "nothing here"},
        {"/c.txt", "\tBUDGET at start  \r\nsecond"},
    });
    EXPECT_EQ(index.search("BuDgEt", 10),
              (std::vector<IndexHit>{{"/a.txt", 2, "the budget line"},
                                     {"/c.txt", 1, "budget at start"}}));
    EXPECT_TRUE(index.search("", 10).empty());
    EXPECT_TRUE(index.search("budget", 0).empty());
    EXPECT_TRUE(index.search("budget", -3).empty());
    EXPECT_EQ(index.search("budget", 1).size(), 1u);
    EXPECT_TRUE(ContentIndex().search("x", 5).empty());
}

TEST(ContentIndex, LinesEndAtCrLfLfOrALoneCrAsInTheLiveSearch) {
    test::TempDir dir;
    struct Case {
        const char* what;
        std::string text;
        std::int64_t line;
        const char* preview;
    };
    const Case cases[] = {
        {"lone CR", "one\rtwo\rthree budget\rfour", 3, "three budget"},
        {"CR LF", "one\r\ntwo\r\nbudget\r\n", 3, "budget"},
        {"LF", "one\ntwo\n\nbudget", 4, "budget"},
        {"CR then CR LF", "one\r\r\nbudget", 3, "budget"},
        {"first line", "budget\rtwo", 1, "budget"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const auto path = (dir / (std::to_string(++n) + ".txt")).string();
        writeFileAtomically(path, c.text);
        ContentIndex index;
        index.upsert(path, 1, c.text);
        EXPECT_EQ(index.search("budget", 1), (std::vector<IndexHit>{{path, c.line, c.preview}}))
            << c.what;
        const std::string paths[] = {path};
        const auto live = ContentSearcher::search("budget", paths, false, 10);
        const auto& hits = std::get<ContentSearcher::Hits>(live).hits;
        ASSERT_EQ(hits.size(), 1u) << c.what;
        EXPECT_EQ(hits[0].line, c.line) << c.what;
        EXPECT_EQ(hits[0].preview, c.preview) << c.what;
    }
}

TEST(ContentIndex, PreviewIsTrimmedAndCutAtTwoHundredCharacters) {
    std::string longLine = "\xC2\xA0 " + std::string(150, 'x') + "needle" + std::string(344, 'y');
    std::string accented;
    for (int i = 0; i < 250; ++i)
        accented += "e\xCC\x81"; // e + combining acute: one character
    auto index = indexOf({{"/long.txt", longLine}, {"/accent.txt", accented + "needle"}});
    auto hits = index.search("needle", 10);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].preview, std::string(150, 'x') + "needle" + std::string(44, 'y'));
    EXPECT_EQ(hits[1].preview.size(), 200u * 3);
}

TEST(ContentIndex, SearchAllTellsWhetherTheListWasCut) {
    auto four = indexOf({{"/1", "word"}, {"/2", "word"}, {"/3", "word"}, {"/4", "word"}});
    auto results = four.searchAll("word", 2);
    EXPECT_EQ(results.hits.size(), 2u);
    EXPECT_EQ(results.hits[1].path, "/2");
    EXPECT_TRUE(results.truncated);
    auto two = indexOf({{"/1", "word"}, {"/2", "word"}});
    EXPECT_FALSE(two.searchAll("word", 2).truncated);
    EXPECT_EQ(two.searchAll("word", 2).hits.size(), 2u);
}

TEST(ContentIndex, UpsertAndRemoveCountDeadBytes) {
    ContentIndex index;
    index.upsert("/a", 1, "hello");
    index.upsert("/b", 1, "world!");
    index.upsert("/a", 2, "HELLO again");
    ASSERT_EQ(index.documents().size(), 2u);
    EXPECT_EQ(index.documents()[0].path, "/b");
    EXPECT_EQ(index.documents()[1], (ContentIndex::Document{"/a", 2, 11, 11}));
    EXPECT_EQ(index.deadBytes(), 5);
    EXPECT_EQ(index.textBytes(), 22);
    EXPECT_TRUE(index.remove("/b"));
    EXPECT_FALSE(index.remove("/b"));
    EXPECT_EQ(index.deadBytes(), 11);
    index.upsert("/c", 1, "");
    EXPECT_EQ(index.remove(std::unordered_set<std::string>{}), 0);
    EXPECT_EQ(index.remove(std::unordered_set<std::string>{"/a", "/c", "/missing"}), 2);
    EXPECT_TRUE(index.isEmpty());
    EXPECT_EQ(index.deadBytes(), 22);
}

TEST(ContentIndex, StalenessLooksBothWays) {
    ContentIndex index;
    index.upsert("/doc", 100.0, "text");
    EXPECT_TRUE(index.isStale("/other", 100.0));
    EXPECT_FALSE(index.isStale("/doc", 100.0));
    EXPECT_FALSE(index.isStale("/doc", 100.001));
    EXPECT_TRUE(index.isStale("/doc", 100.0011));
    EXPECT_FALSE(index.isStale("/doc", 99.9995));
    EXPECT_TRUE(index.isStale("/doc", 99.0)); // replaced by an older copy
}

TEST(ContentIndex, CompactionRunsOnlyAboveThresholdAndKeepsAnswers) {
    ContentIndex index;
    index.upsert("/z", 1, std::string(75, 'a') + " needle");
    index.upsert("/m", 1, "needle " + std::string(100, 'b'));
    index.upsert("/dead", 1, std::string(68, 'c'));
    // 250 bytes, 68 dead after removal: 0.272 > 0.25
    index.remove("/dead");
    EXPECT_FALSE(index.compactIfNeeded(0.3));
    auto before = index.search("needle", 10);
    EXPECT_TRUE(index.compactIfNeeded(0.25));
    EXPECT_EQ(index.deadBytes(), 0);
    EXPECT_EQ(index.textBytes(), 82 + 107);
    EXPECT_EQ(index.documents()[0], (ContentIndex::Document{"/m", 1, 0, 107}));
    EXPECT_EQ(index.documents()[1], (ContentIndex::Document{"/z", 1, 107, 82}));
    auto after = index.search("needle", 10);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0], before[1]);
    EXPECT_EQ(after[1], before[0]);

    ContentIndex exact;
    exact.upsert("/a", 1, std::string(750, 'a'));
    exact.upsert("/b", 1, std::string(250, 'b'));
    exact.remove("/b");
    EXPECT_FALSE(exact.compactIfNeeded(0.25)); // exactly 0.25 is not above it
}

TEST(ContentIndex, FileRoundTripKeepsTableAndBlobWithExactBytes) {
    test::TempDir dir;
    ContentIndex index;
    index.upsert("/docs/a \"quoted\"\\x.txt", 1700000000.25, "first");
    index.upsert("/docs/b\n.txt", 1700000001, "second");
    index.upsert("/docs/a \"quoted\"\\x.txt", 1700000002.5, "third");
    EXPECT_EQ(index.encodeTable(),
              R"([{"p":"\/docs\/b\n.txt","m":1700000001,"o":5,"l":6},)"
              R"({"p":"\/docs\/a \"quoted\"\\x.txt","m":1700000002.5,"o":11,"l":5}])");
    index.write(dir / "content.bin");
    auto back = ContentIndex::read(dir / "content.bin");
    EXPECT_EQ(back.documents(), index.documents());
    EXPECT_EQ(back.blob(), index.blob());
    EXPECT_EQ(back.deadBytes(), 0);
}

TEST(ContentIndex, TimesOutOfRangeNeitherCorruptTheFileNorLoseDocuments) {
    test::TempDir dir;
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double given;
        double stored; // an impossible time is stored as none (0): the file is read again
    };
    const Case cases[] = {{1e300, 0},
                          {-1e300, 0},
                          {inf, 0},
                          {-inf, 0},
                          {std::nan(""), 0},
                          {1e-300, 1e-300},
                          {-5e-324, -5e-324},
                          {9007199254740992.0, 9007199254740992.0},
                          {1700000000.123456, 1700000000.123456}};
    ContentIndex index;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        index.upsert("/doc" + std::to_string(i), cases[i].given, "budget");
    index.write(dir / "content.bin");
    auto back = ContentIndex::read(dir / "content.bin");
    ASSERT_EQ(back.documents().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(back.documents()[i].modified, cases[i].stored) << cases[i].given;
    EXPECT_EQ(back.search("budget", 100).size(), std::size(cases));

    // Read from a file: clamped the same way, and written back intact.
    writeRaw(dir / "huge.bin",
             R"([{"p":"/a","m":1e300,"o":0,"l":4},{"p":"/b","m":-1e308,"o":0,"l":4}])", "text", 68);
    auto huge = ContentIndex::read(dir / "huge.bin");
    ASSERT_EQ(huge.documents().size(), 2u);
    EXPECT_EQ(huge.documents()[0].modified, 0);
    EXPECT_EQ(huge.documents()[1].modified, 0);
    EXPECT_EQ(huge.encodeTable(),
              R"([{"p":"\/a","m":0,"o":0,"l":4},{"p":"\/b","m":0,"o":0,"l":4}])");
}

TEST(ContentIndex, DamagedFilesReadAsEmptyOrLoseOnlyBadDocuments) {
    test::TempDir dir;
    auto p = dir / "content.bin";
    EXPECT_THROW(ContentIndex::read(dir / "missing.bin"), std::system_error);

    struct Case {
        const char* name;
        std::string table;
        std::uint32_t announcedExtra; // added to the table's true length
        std::size_t documents;
    };
    const std::string good = R"({"p":"/ok","m":1,"o":0,"l":4})";
    const Case cases[] = {
        {"announces more than follows", "[" + good + "]", 1000, 0},
        {"not json", "[{", 0, 0},
        {"not an array", "{}", 0, 0},
        {"missing key", R"([{"p":"/x","m":1,"o":0}])", 0, 0},
        {"wrong type", R"([{"p":"/x","m":"1","o":0,"l":1}])", 0, 0},
        {"negative offset dropped", "[" + good + R"(,{"p":"/n","m":1,"o":-1,"l":2}])", 0, 1},
        {"negative length dropped", "[" + good + R"(,{"p":"/n","m":1,"o":0,"l":-2}])", 0, 1},
        {"past the blob dropped", "[" + good + R"(,{"p":"/n","m":1,"o":2,"l":3}])", 0, 1},
        {"huge range dropped", "[" + good + R"(,{"p":"/n","m":1,"o":3,"l":9223372036854775807}])",
         0, 1},
        {"extra keys ignored", R"([{"l":4,"x":[1],"o":0,"m":1.5,"p":"/ok"}])", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeRaw(p, c.table, "text", static_cast<std::uint32_t>(c.table.size()) + c.announcedExtra);
        auto index = ContentIndex::read(p);
        EXPECT_EQ(index.documents().size(), c.documents);
        if (c.documents == 1) {
            EXPECT_EQ(index.search("tex", 5).size(), 1u);
        }
    }
    writeFileAtomically(p, "abc");
    EXPECT_TRUE(ContentIndex::read(p).isEmpty());
}

} // namespace
} // namespace ulmaro
