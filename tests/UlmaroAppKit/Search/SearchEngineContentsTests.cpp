#include "EngineTestSupport.h"
#include "UlmaroKit/Content/ContentIndex.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace ulmaro {
namespace {

using test::EngineHarness;
using test::FixtureIndex;
using test::pathsOf;
using test::TempDir;
using Paths = std::vector<std::string>;

void writeFile(const std::filesystem::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

RankedRow rowAt(std::string path) {
    const std::size_t slash = path.rfind('/');
    return {.name = path.substr(slash + 1), .path = std::move(path)};
}

TEST(SearchEngineContents, ANameQueryKeepsTheFilesHoldingEveryTermWithTheFirstTermsLine) {
    TempDir dir;
    const std::string root = dir.path();
    writeFile(dir / "report-both.txt", "intro\nthe Alpha plan\nand beta too\n");
    writeFile(dir / "report-alpha.txt", "alpha only\n");
    writeFile(dir / "report-beta.txt", "beta only\n");
    writeFile(dir / "notes.txt", "alpha beta\n");
    FixtureIndex index;
    for (const char* name : {"report-both.txt", "report-alpha.txt", "report-beta.txt", "notes.txt"})
        index.add(root + "/" + name);
    EngineHarness harness;
    const auto engine = harness.make({.store = index.open()});

    const SearchOutcome outcome = harness.run(*engine, "report contains:alpha contains:beta");
    EXPECT_EQ(pathsOf(outcome), (Paths{root + "/report-both.txt"}));
    const auto& row = outcome.resultsIfAny()->rows.at(0);
    EXPECT_EQ(row.contentMatch,
              (ContentSearcher::Hit{root + "/report-both.txt", 2, "the Alpha plan"}));

    // The terms' order decides which line is shown.
    const SearchOutcome swapped = harness.run(*engine, "report contains:beta contains:alpha");
    EXPECT_EQ(swapped.resultsIfAny()->rows.at(0).contentMatch->line, 3);

    // Without a contents term nothing is read and nothing is dropped.
    const SearchOutcome plain = harness.run(*engine, "report");
    EXPECT_EQ(pathsOf(plain).size(), 3u);
    for (const RankedRow& r : plain.resultsIfAny()->rows)
        EXPECT_EQ(r.contentMatch, std::nullopt);
    EXPECT_TRUE(harness.run(*engine, "report contains:gamma").isNoMatches());
}

TEST(SearchEngineContents, PastTheCandidateLimitOnlyTheFirstFilesAreReadAndTheRestDropped) {
    TempDir dir;
    const std::string root = dir.path();
    // Files that are not there hold nothing; three that are hold the text.
    const std::int64_t limit = ContentSearcher::maxCandidates;
    std::vector<RankedRow> rows;
    for (std::int64_t i = 0; i < limit + 2; ++i)
        rows.push_back(rowAt(root + "/doc-" + std::to_string(i) + ".txt"));
    for (const std::int64_t i : {std::int64_t{0}, limit - 1, limit})
        writeFile(root + "/doc-" + std::to_string(i) + ".txt", "the budget\n");
    // A path listed twice is read once and counts once towards the limit.
    rows.insert(rows.begin() + 1, rowAt(root + "/doc-0.txt"));

    const std::vector<RankedRow> kept =
        SearchEngine::applyContentFilter(std::move(rows), "doc contains:budget");
    Paths paths;
    for (const RankedRow& row : kept)
        paths.push_back(row.path);
    EXPECT_EQ(paths, (Paths{root + "/doc-0.txt", root + "/doc-0.txt",
                            root + "/doc-" + std::to_string(limit - 1) + ".txt"}));
}

// 600 notes named alike, the word inside ten of them: the ones whose names rank last.
struct ManyNotes {
    TempDir dir;
    FixtureIndex index;
    Paths holding;

    ManyNotes() {
        for (int i = 0; i < 600; ++i) {
            const std::string path =
                dir.path().string() + "/notes/qelnote-" + std::to_string(i) + ".txt";
            const bool holds = i >= 590;
            if (i == 0) std::filesystem::create_directories(dir / "notes");
            writeFile(path, holds ? "minutes\nthe zorbling plan\n" : "minutes\nnothing here\n");
            index.add(path);
            if (holds) holding.push_back(path);
        }
    }
};

TEST(SearchEngineContents, NameMatchesBeyondTheShownRowsAreReadAndCountedByWhatTheyHold) {
    ManyNotes notes;
    EngineHarness harness;
    const auto engine = harness.make({.store = notes.index.open()});

    const SearchOutcome outcome = harness.run(*engine, "qelnote contains:zorbling");
    ASSERT_TRUE(outcome.resultsIfAny()) << "the ten holding it rank below the first 250";
    Paths paths = pathsOf(outcome);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, notes.holding);
    EXPECT_EQ(outcome.resultsIfAny()->totalMatches, 10) << "rows that hold it, not names";
    for (const RankedRow& row : outcome.resultsIfAny()->rows)
        EXPECT_EQ(row.contentMatch->preview, "the zorbling plan");

    // More holders than the limit: cut to the limit, all of them counted.
    const auto narrow = harness.make({.store = notes.index.open(), .limit = 4});
    const SearchOutcome cut = harness.run(*narrow, "qelnote contains:zorbling");
    EXPECT_EQ(pathsOf(cut).size(), 4u);
    EXPECT_EQ(cut.resultsIfAny()->totalMatches, 10);

    // A holder removed since the scan is neither listed nor counted.
    const auto removed = std::make_shared<const RemovedPaths>(Paths{notes.holding.front()});
    const auto hiding = harness.make({.store = notes.index.open(), .removedPaths = removed});
    const SearchOutcome without = harness.run(*hiding, "qelnote contains:zorbling");
    EXPECT_EQ(pathsOf(without).size(), 9u);
    EXPECT_EQ(without.resultsIfAny()->totalMatches, 9);
}

TEST(SearchEngineContents, ANewerSearchStopsTheDocumentReadsOfAnOlderOne) {
    ManyNotes notes;
    EngineHarness harness;
    std::shared_ptr<SearchEngine> engine;
    std::function<void()> duringNextSearch;
    // Asked once at the start of every search, after it has begun and before it reads.
    auto startOfSearch = [&] {
        if (duringNextSearch) std::exchange(duringNextSearch, {})();
        return false;
    };
    engine = harness.make({.store = notes.index.open(), .excludeSystemPaths = startOfSearch});

    std::vector<std::pair<std::int64_t, SearchOutcome>> outcomes;
    const auto record = [&](SearchOutcome outcome, std::int64_t generation) {
        outcomes.emplace_back(generation, std::move(outcome));
    };
    duringNextSearch = [&] { engine->search("qelnote-599 contains:zorbling", record); };
    engine->search("qelnote-59 contains:zorbling", record);
    harness.queues.drainAll();

    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].first, 1);
    EXPECT_TRUE(outcomes[0].second.isNoMatches()) << "the older search read no further file";
    EXPECT_EQ(outcomes[1].first, 2);
    EXPECT_EQ(pathsOf(outcomes[1].second), (Paths{notes.holding.back()}));
}

ContentIndex documents(std::initializer_list<std::pair<const char*, const char*>> texts) {
    ContentIndex index;
    for (const auto& [path, text] : texts)
        index.upsert(path, 1, text);
    return index;
}

TEST(SearchEngineContents, AContentsOnlyQueryListsTheContentIndexsDocuments) {
    FixtureIndex main;
    main.add("/home/u/budget.txt");
    const auto store = main.open();
    EngineHarness harness;
    auto engineOver = [&](SearchEngine::ContentIndexSource source) {
        return harness.make({.store = store, .contentIndex = std::move(source)});
    };

    // No content index, none at the moment, an empty one: nothing, and no name is matched.
    for (auto source :
         {SearchEngine::ContentIndexSource{},
          SearchEngine::ContentIndexSource{[] { return nullptr; }},
          SearchEngine::ContentIndexSource{[] { return std::make_shared<const ContentIndex>(); }}})
        EXPECT_TRUE(harness.run(*engineOver(source), "contains:budget").isNoMatches());

    const auto index = std::make_shared<const ContentIndex>(documents({
        {"/docs/a.txt", "budget\nq3 plans"},
        {"/docs/b.txt", "q3 only"},
        {"/docs/c.md", "intro\nthe budget for q3"},
        {"/docs/d.txt", "budget alone"},
    }));
    const auto engine = engineOver([index] { return index; });
    const SearchOutcome outcome = harness.run(*engine, "contains:budget contains:q3");
    EXPECT_EQ(pathsOf(outcome), (Paths{"/docs/a.txt", "/docs/c.md"}));
    const auto& results = *outcome.resultsIfAny();
    EXPECT_EQ(results.totalMatches, 2);
    const RankedRow& second = results.rows[1];
    EXPECT_EQ(second.name, "c.md");
    EXPECT_EQ(second.contentMatch, (ContentSearcher::Hit{"/docs/c.md", 2, "the budget for q3"}));
    EXPECT_EQ(second.origin, RowOrigin{});
    EXPECT_EQ(second.size, 0u);
    EXPECT_EQ(second.matchByteLength, 0);
    EXPECT_EQ(second.id, SearchEngine::contentRowIDs(Paths{"/docs/a.txt", "/docs/c.md"})[1]);
}

TEST(SearchEngineContents, ContentRowsNeverShareAnIdentifier) {
    // 300 documents: 200 rows, where a shared value among 100000 is all but certain.
    ContentIndex index;
    for (int i = 0; i < 300; ++i)
        index.upsert("/docs/" + std::to_string(i) + ".txt", 1, "common text");
    const auto shared = std::make_shared<const ContentIndex>(std::move(index));
    FixtureIndex main;
    EngineHarness harness;
    const auto engine = harness.make(
        {.store = main.open(), .limit = 1000, .contentIndex = [shared] { return shared; }});
    const SearchOutcome outcome = harness.run(*engine, "contains:common");
    const auto& rows = outcome.resultsIfAny()->rows;
    ASSERT_EQ(rows.size(), 200u) << "at most 200 documents per term";
    std::set<std::uint32_t> ids;
    for (const RankedRow& row : rows) {
        ids.insert(row.id);
        EXPECT_LT(~row.id, 100'000u) << row.path;
    }
    EXPECT_EQ(ids.size(), rows.size());

    // Many more paths than that stay apart too; a taken value moves on to the next one.
    Paths paths;
    for (int i = 0; i < 5000; ++i)
        paths.push_back("/p/" + std::to_string(i));
    const std::vector<std::uint32_t> many = SearchEngine::contentRowIDs(paths);
    EXPECT_EQ(std::set<std::uint32_t>(many.begin(), many.end()).size(), paths.size());
    const std::vector<std::uint32_t> twice = SearchEngine::contentRowIDs(Paths{"/p/7", "/p/7"});
    EXPECT_EQ(twice[0], many[7]);
    EXPECT_EQ(~twice[1], (~twice[0] + 1) % 100'000);
}

TEST(SearchEngineContents, ContentsOnlyRowsAreCountedAfterRemovedPathsAreDropped) {
    const auto index = std::make_shared<const ContentIndex>(documents({
        {"/docs/a.txt", "budget"},
        {"/docs/gone/b.txt", "budget"},
        {"/docs/c.txt", "budget"},
    }));
    FixtureIndex main;
    EngineHarness harness;
    const auto engine =
        harness.make({.store = main.open(),
                      .removedPaths = std::make_shared<const RemovedPaths>(Paths{"/docs/gone"}),
                      .contentIndex = [index] { return index; }});
    const SearchOutcome outcome = harness.run(*engine, "contains:budget");
    EXPECT_EQ(pathsOf(outcome), (Paths{"/docs/a.txt", "/docs/c.txt"}));
    EXPECT_EQ(outcome.resultsIfAny()->totalMatches, 2);
}

} // namespace
} // namespace ulmaro
