#include "EngineTestSupport.h"
#include "UlmaroAppKit/Indexing/LiveDelta.h"
#include "UlmaroAppKit/Panel/NameEmphasis.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroKit/Search/Ranker.h"
#include "UlmaroKit/Search/SearchSession.h"
#include "support/WaitFor.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <latch>
#include <mutex>

namespace ulmaro {
namespace {

using test::EngineHarness;
using test::FixtureIndex;
using test::lists;
using test::pathsOf;
using test::TempDir;

std::shared_ptr<const RemovedPaths> removed(std::vector<std::string> paths) {
    return std::make_shared<const RemovedPaths>(paths);
}

TEST(SearchEngine, RankWindowTable) {
    const std::pair<std::int64_t, std::int64_t> cases[] = {
        {200, 250}, {50, 100}, {10, 20}, {1, 2}, {51, 101}};
    for (const auto& [limit, window] : cases)
        EXPECT_EQ(SearchEngine::rankWindow(limit), window) << limit;
    EXPECT_EQ(SearchEngine::defaultResultLimit, 200);
}

TEST(SearchEngine, OnlyTheRankWindowBecomesRows) {
    // 300 matches with sizes unrelated to rank: in size order the rows are the largest of
    // the window's results, never a larger file ranked past the window.
    FixtureIndex index;
    for (int i = 0; i < 300; ++i)
        index.add("/home/u/d" + std::to_string(i % 7) + "/report-" + std::to_string(i) + ".txt",
                  {.size = static_cast<std::uint64_t>((i * 7919) % 1000 + 1), .mtime = 1});
    const auto store = index.open();
    for (const std::int64_t limit : {200, 50, 10}) {
        SearchSession session(store);
        Ranker ranker(store);
        const auto ranked = ranker.rank(*session.search("report"), SearchEngine::rankWindow(limit));
        std::vector<std::pair<std::uint64_t, std::string>> window;
        for (const RankedResult& r : ranked)
            window.push_back(
                {(*store)[r.match.id].size, *PathResolver(*store).rawAbsolutePath(r.match.id)});
        std::stable_sort(window.begin(), window.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < window.size() && std::cmp_less(i, limit); ++i)
            expected.push_back(window[i].second);

        EngineHarness harness;
        const auto bySize =
            harness.make({.store = store, .limit = limit, .sortOrder = SortOrder::size});
        EXPECT_EQ(pathsOf(harness.run(*bySize, "report")), expected) << "limit " << limit;
        const auto byRank = harness.make({.store = store, .limit = limit});
        const SearchOutcome outcome = harness.run(*byRank, "report");
        EXPECT_EQ(std::ssize(pathsOf(outcome)), limit);
        EXPECT_EQ(outcome.resultsIfAny()->totalMatches, 300);
    }
}

TEST(SearchEngine, AQueuedSearchOvertakenBeforeItStartsNeverCompletes) {
    FixtureIndex index;
    index.add("/home/u/report.txt");
    EngineHarness harness;
    const auto engine = harness.make({.store = index.open()});
    std::vector<std::int64_t> completed;
    auto record = [&](SearchOutcome, std::int64_t generation) { completed.push_back(generation); };

    // The queue is held (nothing drained) while both are asked for.
    EXPECT_EQ(engine->search("rep", record), 1);
    EXPECT_EQ(engine->search("report", record), 2);
    EXPECT_EQ(harness.queueOf().pending(), 2u);
    harness.queues.drainAll();
    EXPECT_EQ(completed, (std::vector<std::int64_t>{2}));
}

TEST(SearchEngine, AStartedSearchAlwaysCompletes) {
    FixtureIndex index;
    index.add("/home/u/report.txt");
    EngineHarness harness;
    std::shared_ptr<SearchEngine> engine;
    std::vector<std::pair<std::int64_t, bool>> completed;
    auto record = [&](SearchOutcome outcome, std::int64_t generation) {
        completed.push_back({generation, outcome.resultsIfAny() != nullptr});
    };
    bool asked = false;
    // A newer search is asked for while the first one runs (the switch is read on the queue).
    engine = harness.make({.store = index.open(), .excludeSystemPaths = [&] {
                               if (!asked) {
                                   asked = true;
                                   engine->search("zzzzzz", record);
                               }
                               return false;
                           }});
    engine->search("report", record);
    harness.queues.drainAll();
    EXPECT_EQ(completed, (std::vector<std::pair<std::int64_t, bool>>{{1, true}, {2, false}}));
}

TEST(SearchEngine, OnRealThreadsAnOvertakenSearchIsDroppedAndAStartedOneCompletes) {
    FixtureIndex index;
    index.add("/home/u/report.txt");
    ThreadSerialQueueFactory queues;
    std::latch started(1);
    std::latch release(1);
    std::once_flag first;
    // The first search holds the engine's queue from inside, once it has started.
    const auto engine = SearchEngine::make({.store = index.open(),
                                            .excludeSystemPaths =
                                                [&] {
                                                    std::call_once(first, [&] {
                                                        started.count_down();
                                                        release.wait();
                                                    });
                                                    return false;
                                                }},
                                           queues, std::make_shared<SystemClock>());
    std::mutex mutex;
    std::vector<std::int64_t> completed;
    auto record = [&](SearchOutcome, std::int64_t generation) {
        std::lock_guard lock(mutex);
        completed.push_back(generation);
    };
    engine->search("report", record);
    started.wait();
    engine->search("rep", record);  // waits behind the first, then is overtaken
    engine->search("repo", record); // the newest
    release.count_down();
    ASSERT_TRUE(test::waitFor([&] {
        std::lock_guard lock(mutex);
        return completed.size() >= 2;
    }));
    // Whatever else was queued has run by the time a search submitted now completes.
    std::latch last(1);
    engine->search("report", [&](SearchOutcome, std::int64_t) { last.count_down(); });
    last.wait();
    std::lock_guard lock(mutex);
    EXPECT_EQ(completed, (std::vector<std::int64_t>{1, 3}));
}

TEST(SearchEngine, ReleasingTheEngineDropsQueuedSearches) {
    FixtureIndex index;
    index.add("/home/u/report.txt");
    EngineHarness harness;
    auto engine = harness.make({.store = index.open()});
    bool called = false;
    engine->search("report", [&](SearchOutcome, std::int64_t) { called = true; });
    engine.reset();
    harness.queues.drainAll();
    EXPECT_FALSE(called);
}

TEST(SearchEngine, NoMatchesIsNotAnEmptyResult) {
    FixtureIndex index;
    index.add("/home/u/report.txt");
    EngineHarness harness;
    const auto engine = harness.make({.store = index.open()});
    EXPECT_TRUE(harness.run(*engine, "qqqqqqqqq").isNoMatches());
    EXPECT_TRUE(harness.run(*engine, "").isNoMatches());
    const SearchOutcome found = harness.run(*engine, "report");
    ASSERT_NE(found.resultsIfAny(), nullptr);
    const RankedRow& row = found.resultsIfAny()->rows.at(0);
    EXPECT_EQ(row.name, "report.txt");
    EXPECT_EQ(row.path, "/home/u/report.txt");
    EXPECT_EQ(row.matchByteLength, 6);
    EXPECT_EQ(row.matchRanges, (std::vector<ByteRange>{{0, 6}}));
    EXPECT_EQ(found.resultsIfAny()->took, 0); // virtual time stands still
}

TEST(SearchEngine, OnlyWhatANameWordMatchedIsEmphasised) {
    // Date terms are read against the real clock.
    const auto recently = static_cast<std::uint32_t>(std::time(nullptr) - 3600);
    FixtureIndex index;
    index.add("/home/u/scan.pdf", {.size = 3'000'000, .mtime = recently});
    index.add("/home/u/Invoice-2024.pdf", {.size = 2'000'000, .mtime = recently});
    EngineHarness harness;
    const auto engine = harness.make({.store = index.open()});
    using Runs = std::vector<EmphasisRun>;
    const std::pair<const char*, Runs> cases[] = {
        {"ext:pdf", {{"Invoice-2024.pdf", false}}},
        {"size:>1mb dm:<7d path:home", {{"Invoice-2024.pdf", false}}},
        {"!scan ext:pdf", {{"Invoice-2024.pdf", false}}},
        {"voice ext:pdf", {{"In", false}, {"voice", true}, {"-2024.pdf", false}}},
        {"invoice .pdf", {{"Invoice", true}, {"-2024", false}, {".pdf", true}}},
    };
    for (const auto& [query, runs] : cases) {
        const SearchOutcome outcome = harness.run(*engine, query);
        ASSERT_NE(outcome.resultsIfAny(), nullptr) << query;
        bool seen = false;
        for (const RankedRow& row : outcome.resultsIfAny()->rows) {
            if (row.name != "Invoice-2024.pdf") continue;
            seen = true;
            EXPECT_EQ(emphasizedName(row), runs) << query;
        }
        EXPECT_TRUE(seen) << query;
    }
}

TEST(SearchEngine, DeltaRowsWinOverMainRowsAndAliasesComeFirst) {
    FixtureIndex main;
    const auto app = main.app("/home/u/Apps/Tiny Text Editor.app");
    main.add("/home/u/tte-notes.txt");
    main.add("/home/u/docs/tte-plan.txt");
    FixtureIndex delta{FixtureIndex::liveDelta};
    const auto deltaNotes = delta.add("/home/u/tte-notes.txt");
    delta.add("/home/u/tte-new.txt");
    delta.app("/home/u/Apps/Tiny Text Editor.app");
    EngineHarness harness;
    const auto engine = harness.make({.store = main.open(), .deltaStore = delta.open()});

    const SearchOutcome outcome = harness.run(*engine, "tte");
    const auto paths = pathsOf(outcome);
    ASSERT_GE(paths.size(), 4u);
    EXPECT_EQ(paths[0], "/home/u/Apps/Tiny Text Editor.app");
    EXPECT_EQ(outcome.resultsIfAny()->rows[0].id, app);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/home/u/tte-notes.txt"), 1);
    const auto& rows = outcome.resultsIfAny()->rows;
    const auto notes =
        std::find(paths.begin(), paths.end(), "/home/u/tte-notes.txt") - paths.begin();
    const auto plan =
        std::find(paths.begin(), paths.end(), "/home/u/docs/tte-plan.txt") - paths.begin();
    const auto fresh = std::find(paths.begin(), paths.end(), "/home/u/tte-new.txt") - paths.begin();
    EXPECT_EQ(rows[static_cast<std::size_t>(notes)].id, ~deltaNotes);
    EXPECT_LT(notes, plan);
    EXPECT_LT(fresh, plan);

    // The alias row stands for the application also when the delta lists it by name.
    const auto tiny = pathsOf(harness.run(*engine, "tiny"));
    ASSERT_FALSE(tiny.empty());
    EXPECT_EQ(tiny[0], "/home/u/Apps/Tiny Text Editor.app");
    EXPECT_EQ(std::count(tiny.begin(), tiny.end(), tiny[0]), 1);
}

TEST(SearchEngine, AFolderThatOnlyHoldsAChangeKeepsTheMainRowWithItsDateAndCopies) {
    // One new file in Documents: the live delta holds Documents only as its folder.
    TempDir home;
    const std::string documents = home.path().string() + "/Documents";
    std::filesystem::create_directories(documents);
    std::ofstream(documents + "/minutes-new.txt") << "new";
    FixtureIndex main;
    const auto folder = main.add(documents, {.mtime = 1'700'000'000, .flags = FixtureIndex::dir});
    main.add(home.path().string() + "/Backup/Documents",
             {.mtime = 1'600'000'000, .flags = FixtureIndex::dir});
    const auto delta = LiveDelta::build({{documents + "/minutes-new.txt", 1}}, home / "delta.bin");
    ASSERT_NE(delta, nullptr);
    const auto mainStore = main.open();
    EngineHarness harness;
    const auto engine = harness.make(
        {.store = mainStore, .deltaStore = delta, .sortOrder = SortOrder::dateModified});

    const SearchOutcome outcome = harness.run(*engine, "documents");
    ASSERT_NE(outcome.resultsIfAny(), nullptr);
    const auto& rows = outcome.resultsIfAny()->rows;
    ASSERT_EQ(rows.size(), 2u) << "each folder once";
    EXPECT_EQ(rows[0].path, documents) << "newest first, as its date says";
    EXPECT_EQ(rows[0].id, folder);
    EXPECT_EQ(rows[0].mtime, 1'700'000'000u);

    // Ctrl+D on it finds the other copy.
    std::optional<SearchOutcome> copies;
    engine->findCopies(rows[0].id, rows[0].path, [&](SearchOutcome o) { copies = std::move(o); });
    harness.queues.drainAll();
    ASSERT_TRUE(copies.has_value());
    EXPECT_EQ(pathsOf(*copies),
              (std::vector<std::string>{home.path().string() + "/Backup/Documents"}));

    // The changed file itself is the delta's row.
    const SearchOutcome fresh = harness.run(*engine, "minutes-new");
    ASSERT_EQ(pathsOf(fresh), (std::vector<std::string>{documents + "/minutes-new.txt"}));
    EXPECT_GE(fresh.resultsIfAny()->rows[0].id, mainStore->count()) << "a delta row";
}

TEST(SearchEngine, RemovedPathsAndTheirDescendantsAreHiddenFromEverySource) {
    FixtureIndex main;
    main.add("/home/u/gone/report1.txt");
    main.add("/home/u/gone/sub/report2.txt");
    main.add("/home/u/gone-not/report3.txt");
    main.add("/home/u/old-report.txt");
    main.app("/home/u/gone/Report Tool.app");
    FixtureIndex delta{FixtureIndex::liveDelta};
    delta.add("/home/u/gone/report4.txt");
    delta.add("/home/u/report5.txt");
    FixtureIndex catalog;
    catalog.add("/media/disk/report6.txt");
    catalog.add("/media/disk/gone/report7.txt");
    EngineHarness harness;
    const auto engine = harness.make(
        {.store = main.open(),
         .deltaStore = delta.open(),
         .removedPaths = removed({"/home/u/gone", "/home/u/old-report.txt", "/media/disk/gone"}),
         .catalogs = {{.id = "d",
                       .name = "Disk",
                       .store = catalog.open(),
                       .currentRoot = "/media/disk",
                       .recordedRoot = "/media/disk"}}});
    const SearchOutcome outcome = harness.run(*engine, "report");
    auto paths = pathsOf(outcome);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/home/u/gone-not/report3.txt",
                                               "/home/u/report5.txt", "/media/disk/report6.txt"}));
}

TEST(SearchEngine, RemovedPathsMatchWholeComponents) {
    const RemovedPaths paths(std::vector<std::string>{"/a/b", "/c.txt", "/d/\xFF"});
    const std::pair<const char*, bool> cases[] = {
        {"/a/b", true},       {"/a/b/c", true},   {"/a/b/c/d.txt", true},
        {"/a/bc", false},     {"/a", false},      {"/a/", false},
        {"/c.txt", true},     {"/c.txt2", false}, {"/d/\xFF/x", true},
        {"/d/\xFE/x", false}, {"", false},        {"/", false},
    };
    for (const auto& [path, hidden] : cases)
        EXPECT_EQ(paths.hides(path), hidden) << path;
    EXPECT_FALSE(RemovedPaths().hides("/a/b"));
    EXPECT_TRUE(RemovedPaths(std::unordered_set<std::string>{"/a/b"}).hides("/a/b/c"));

    // Thousands of paths: each hides itself and what lies below it, and nothing else.
    std::vector<std::string> many;
    for (int i = 0; i < 5000; ++i)
        many.push_back("/home/u/f" + std::to_string(i * 7));
    const RemovedPaths large(many);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(large.hides("/home/u/f" + std::to_string(i * 7))) << i;
        ASSERT_TRUE(large.hides("/home/u/f" + std::to_string(i * 7) + "/x/y")) << i;
        ASSERT_FALSE(large.hides("/home/u/f" + std::to_string(i * 7 + 1) + "/x")) << i;
    }
}

TEST(SearchEngine, SystemPathsStayUnlessTheSwitchSaysOtherwise) {
    FixtureIndex index;
    index.add("/usr/lib/report.so");
    index.add("/home/u/report.txt");
    const auto store = index.open();
    EngineHarness harness;
    const auto keeping = harness.make({.store = store});
    EXPECT_TRUE(lists(harness.run(*keeping, "report"), "/usr/lib/report.so"));
    const auto dropping = harness.make({.store = store, .excludeSystemPaths = [] { return true; }});
    const SearchOutcome outcome = harness.run(*dropping, "report");
    EXPECT_FALSE(lists(outcome, "/usr/lib/report.so"));
    EXPECT_TRUE(lists(outcome, "/home/u/report.txt"));
}

TEST(SearchEngine, TotalCountsTheMatchesOfEverySourceBeforeTheCut) {
    FixtureIndex main;
    for (int i = 0; i < 6; ++i)
        main.add("/home/u/invoice-" + std::to_string(i) + ".pdf");
    FixtureIndex delta{FixtureIndex::liveDelta};
    for (int i = 0; i < 5; ++i)
        delta.add("/home/u/new/invoice-" + std::to_string(i) + ".pdf");
    FixtureIndex catalog;
    for (int i = 0; i < 7; ++i)
        catalog.add("/media/disk/invoice-" + std::to_string(i) + ".pdf");
    EngineHarness harness;
    const auto engine = harness.make(
        {.store = main.open(),
         .limit = 4,
         .deltaStore = delta.open(),
         .catalogs = {
             {.id = "d", .name = "Disk", .store = catalog.open(), .recordedRoot = "/media/disk"}}});
    const SearchOutcome outcome = harness.run(*engine, "invoice");
    ASSERT_NE(outcome.resultsIfAny(), nullptr);
    EXPECT_EQ(outcome.resultsIfAny()->rows.size(), 4u);
    EXPECT_EQ(outcome.resultsIfAny()->totalMatches, 6 + 5 + 7);
}

TEST(SearchEngine, AContentsOnlyQueryMatchesNoNames) {
    FixtureIndex index;
    for (int i = 0; i < 40; ++i)
        index.add("/home/u/doc-" + std::to_string(i) + ".txt");
    EngineHarness harness;
    const auto engine = harness.make({.store = index.open()});
    // Without a content index: nothing, rather than every record counted as a match.
    EXPECT_TRUE(harness.run(*engine, "contains:budget").isNoMatches());
    EXPECT_TRUE(harness.run(*engine, "contains:budget contains:q3").isNoMatches());
}

} // namespace
} // namespace ulmaro
