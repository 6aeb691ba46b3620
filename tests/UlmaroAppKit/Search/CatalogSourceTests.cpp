#include "EngineTestSupport.h"
#include "UlmaroAppKit/Search/CatalogSource.h"
#include "UlmaroAppKit/Search/RowBuilding.h"
#include "UlmaroKit/Index/FastHash64.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::FixtureIndex;

TEST(CatalogSource, LocationTable) {
    struct Case {
        const char* recorded;
        std::optional<std::string> currentRoot;
        const char* recordedRoot;
        CatalogLocation expected;
    };
    const std::string photo2 = "/media/Photo2";
    const Case cases[] = {
        {"/media/Photo/2019/a.jpg", photo2, "/media/Photo", {"/media/Photo2/2019/a.jpg", true}},
        // Not a whole-component prefix of the root.
        {"/media/PhotoArchive/a.jpg", photo2, "/media/Photo", {"/media/PhotoArchive/a.jpg", false}},
        {"/media/Photo", photo2, "/media/Photo", {"/media/Photo2", true}},
        {"/media/Photo/../etc/passwd",
         photo2,
         "/media/Photo",
         {"/media/Photo/../etc/passwd", false}},
        {"/media/Photo/./a.jpg", photo2, "/media/Photo", {"/media/Photo/./a.jpg", false}},
        {"/media/Photo/..a/b", photo2, "/media/Photo", {"/media/Photo2/..a/b", true}},
        {"/media/Photo/2019/a.jpg",
         std::nullopt,
         "/media/Photo",
         {"/media/Photo/2019/a.jpg", false}},
        {"/media/Photo/2019/a.jpg",
         "/media/Photo",
         "/media/Photo",
         {"/media/Photo/2019/a.jpg", true}},
        {"/home/u/a.txt", "/mnt/backup", "/", {"/home/u/a.txt", true}},
        {"/home/u/a.txt", std::nullopt, "/", {"/home/u/a.txt", false}},
        // Bytes that are not UTF-8 are carried over untouched.
        {"/media/Photo/\xFF\xFE.jpg", photo2, "/media/Photo", {"/media/Photo2/\xFF\xFE.jpg", true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CatalogSource::locate(c.recorded, c.currentRoot, c.recordedRoot), c.expected)
            << c.recorded << " under " << c.recordedRoot << " now at "
            << c.currentRoot.value_or("(away)");
}

TEST(CatalogSource, RowIdentifiersHashCatalogAndPath) {
    const std::string key("c1\0/media/Photo2/a.jpg", 22);
    const auto expected = static_cast<std::uint32_t>(FastHash64::hash(key)) | 0xC0000000u;
    EXPECT_EQ(CatalogSource::rowID("c1", "/media/Photo2/a.jpg"), expected);
    EXPECT_NE(CatalogSource::rowID("c2", "/media/Photo2/a.jpg"), expected);
    EXPECT_EQ(CatalogSource::rowID("", "") & 0xC0000000u, 0xC0000000u);
}

TEST(CatalogSource, LocatesRecordsOfItsStoreAndCountsThem) {
    FixtureIndex catalog;
    const auto a = catalog.add("/media/Photo/2019/a.jpg");
    CatalogSource source({.id = "c1",
                          .name = "Photos",
                          .store = catalog.open(),
                          .currentRoot = "/media/Photo2",
                          .recordedRoot = "/media/Photo",
                          .rootRecordID = 2});
    EXPECT_EQ(source.location(a), (CatalogLocation{"/media/Photo2/2019/a.jpg", true}));
    EXPECT_EQ(source.location(0), (CatalogLocation{"/", false}));
    EXPECT_EQ(source.resolvedPaths(), 2);
}

/// A main index and one catalog for the merge, with ranked results written by hand.
struct MergeFixture {
    FixtureIndex main;
    std::uint32_t b0 = main.add("/home/u/b0.txt");
    std::uint32_t b1 = main.app("/home/u/b1.app");
    std::uint32_t b2 = main.add("/home/u/b2.txt");
    FixtureIndex catalogIndex;
    std::uint32_t c0 = catalogIndex.add("/media/disk/c0.txt");
    std::uint32_t c1 = catalogIndex.add("/media/disk/c1.txt");
    std::uint32_t c2 = catalogIndex.add("/media/disk/c2.txt");
    std::uint32_t c3 = catalogIndex.add("/home/u/b2.txt"); // the main index's b2
    std::uint32_t c4 = catalogIndex.add("/media/disk/c4.txt");
    test::EngineHarness harness;
    std::shared_ptr<SearchEngine> engine;

    MergeFixture() {
        engine = harness.make({.store = main.open(),
                               .catalogs = {{.id = "cat",
                                             .name = "Disk",
                                             .store = catalogIndex.open(),
                                             .currentRoot = "/",
                                             .recordedRoot = "/"}}});
    }

    std::vector<std::string> merge(std::int64_t window) {
        const std::vector<RankedResult> ranked = {{{b0, MatchQuality::prefix, 0}, 10},
                                                  {{b1, MatchQuality::wordBoundary, 0}, 50},
                                                  {{b2, MatchQuality::substring, 0}, 70}};
        std::vector<RankedRow> rows;
        const PathResolver resolver(*engine->store());
        for (const RankedResult& r : ranked)
            rows.push_back(RowBuilding::recordRow(*engine->store(), r.match.id, r.match.id,
                                                  *resolver.rawAbsolutePath(r.match.id)));
        auto candidate = [](std::uint32_t id, MatchQuality quality, std::int32_t score) {
            return SearchEngine::CatalogCandidate{
                0, {{id, quality, 0}, score}, SearchEngine::tier(quality, false)};
        };
        const std::vector<SearchEngine::CatalogCandidate> candidates = {
            candidate(c0, MatchQuality::exact, 20), candidate(c1, MatchQuality::prefix, 10),
            candidate(c2, MatchQuality::prefix, 30), candidate(c3, MatchQuality::substring, 90),
            candidate(c4, MatchQuality::fuzzy, 99)};
        std::vector<std::string> paths;
        for (const RankedRow& row : engine->merge(rows, ranked, candidates, "x", window))
            paths.push_back(row.path);
        return paths;
    }
};

TEST(SearchEngineMerge, TiersThenScoresThenPositions) {
    MergeFixture f;
    // Tier 0: the application found at a word start (50) and the exact catalog match (20).
    // Tier 1: 30, then the base row and the catalog row of equal score, base first. Tier 3:
    // the base row b2; the catalog's record at the same path is left out. Tier 4 last.
    EXPECT_EQ(f.merge(SearchEngine::unboundedWindow),
              (std::vector<std::string>{
                  "/home/u/b1.app", "/media/disk/c0.txt", "/media/disk/c2.txt", "/home/u/b0.txt",
                  "/media/disk/c1.txt", "/home/u/b2.txt", "/media/disk/c4.txt"}));
    std::vector<SearchEngine::CatalogRecord> looked;
    for (const char* path :
         {"/media/disk/c0.txt", "/media/disk/c1.txt", "/media/disk/c2.txt", "/media/disk/c4.txt"})
        looked.push_back(f.engine->catalogRowLookup().at(CatalogSource::rowID("cat", path)));
    EXPECT_EQ(looked, (std::vector<SearchEngine::CatalogRecord>{
                          {0, f.c0}, {0, f.c1}, {0, f.c2}, {0, f.c4}}));
    EXPECT_EQ(f.engine->catalogRowLookup().size(), 4u);

    // The window stops the walk even though catalog candidates remain.
    EXPECT_EQ(f.merge(4), (std::vector<std::string>{"/home/u/b1.app", "/media/disk/c0.txt",
                                                    "/media/disk/c2.txt", "/home/u/b0.txt"}));
    EXPECT_EQ(f.engine->catalogRowLookup().size(), 2u);
}

TEST(SearchEngineMerge, TierTable) {
    const std::tuple<MatchQuality, bool, int> cases[] = {
        {MatchQuality::exact, false, 0},        {MatchQuality::prefix, false, 1},
        {MatchQuality::wordBoundary, false, 2}, {MatchQuality::substring, false, 3},
        {MatchQuality::fuzzy, false, 4},        {MatchQuality::exact, true, 0},
        {MatchQuality::prefix, true, 0},        {MatchQuality::wordBoundary, true, 0},
        {MatchQuality::substring, true, 3},     {MatchQuality::fuzzy, true, 4},
    };
    for (const auto& [quality, isApp, tier] : cases)
        EXPECT_EQ(SearchEngine::tier(quality, isApp), tier) << quality << " app " << isApp;
}

TEST(SearchEngineCatalogs, RecordsBelowTheRootRecordAreNeverCandidates) {
    FixtureIndex main;
    main.add("/home/u/x.txt");
    FixtureIndex catalogIndex;
    const auto photo = catalogIndex.folder("/media/Photo"); // "/" 0, "/media" 1, this 2
    const auto inside = catalogIndex.add("/media/Photo/media-list.txt");
    test::EngineHarness harness;
    const auto engine = harness.make({.store = main.open(),
                                      .catalogs = {{.id = "p",
                                                    .name = "Photo",
                                                    .store = catalogIndex.open(),
                                                    .currentRoot = std::nullopt,
                                                    .recordedRoot = "/media/Photo",
                                                    .rootRecordID = photo}}});
    const auto ranked = engine->rankCatalogs("media");
    EXPECT_EQ(ranked.total, 2); // "media" and "media-list.txt" both match
    ASSERT_EQ(ranked.candidates.size(), 1u);
    EXPECT_EQ(ranked.candidates[0].result.match.id, inside);

    // Through a whole search: the catalog row is offline at its recorded path.
    const SearchOutcome outcome = harness.run(*engine, "media");
    ASSERT_NE(outcome.resultsIfAny(), nullptr);
    const auto& rows = outcome.resultsIfAny()->rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].path, "/media/Photo/media-list.txt");
    EXPECT_EQ(rows[0].offlineLabel(), "Offline \u00B7 Photo");
    EXPECT_EQ(rows[0].id, CatalogSource::rowID("p", rows[0].path));
    EXPECT_EQ(rows[0].matchByteLength, 5);
    EXPECT_EQ(rows[0].matchRanges, (std::vector<ByteRange>{{0, 5}}));
    EXPECT_EQ(engine->catalogRowLookup().at(rows[0].id), (SearchEngine::CatalogRecord{0, inside}));
    EXPECT_EQ(outcome.resultsIfAny()->totalMatches, 2);
}

TEST(SearchEngineCatalogs, OnlyRelevanceOrderCutsTheMergeAtTheWindow) {
    // The main index's prefix matches outrank the catalog's word-start matches, and fill
    // the window of 20 on their own; the catalog's files are the largest.
    FixtureIndex main;
    for (int i = 0; i < 30; ++i)
        main.add("/home/u/report-" + std::to_string(i) + ".txt",
                 {.size = static_cast<std::uint64_t>(i + 1)});
    FixtureIndex catalog;
    for (int i = 0; i < 10; ++i)
        catalog.add("/media/disk/old-report-" + std::to_string(i) + ".txt",
                    {.size = static_cast<std::uint64_t>(1000 + i)});
    const auto mainStore = main.open();
    const auto catalogStore = catalog.open();
    test::EngineHarness harness;
    auto engine = [&](SortOrder order) {
        return harness.make({.store = mainStore,
                             .limit = 10,
                             .sortOrder = order,
                             .catalogs = {{.id = "d",
                                           .name = "Disk",
                                           .store = catalogStore,
                                           .currentRoot = "/media/disk",
                                           .recordedRoot = "/media/disk"}}});
    };
    auto fromCatalog = [](const SearchOutcome& outcome) {
        std::size_t n = 0;
        for (const RankedRow& row : outcome.resultsIfAny()->rows)
            n += row.origin.catalog ? 1 : 0;
        return n;
    };
    const SearchOutcome bySize = harness.run(*engine(SortOrder::size), "report");
    EXPECT_EQ(fromCatalog(bySize), 10u);
    EXPECT_EQ(bySize.resultsIfAny()->rows.front().path, "/media/disk/old-report-9.txt");
    EXPECT_EQ(fromCatalog(harness.run(*engine(SortOrder::relevance), "report")), 0u);
}

} // namespace
} // namespace ulmaro
