#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::EngineHarness;
using test::FixtureIndex;
using test::pathsOf;
using Paths = std::vector<std::string>;

/// Files named "report.pdf" of several sizes, a folder of that name, one under a removed
/// folder, and two catalogs: a mounted disk that the main index also holds, and a drive
/// that is away.
struct CopiesFixture {
    FixtureIndex main;
    std::uint32_t a = main.add("/home/u/a/report.pdf", {.size = 100});
    std::uint32_t b = main.add("/home/u/b/report.pdf", {.size = 200});
    std::uint32_t c = main.add("/home/u/c/REPORT.pdf", {.size = 100});
    std::uint32_t d = main.add("/home/u/d/report.pdf", {.size = 300});
    std::uint32_t e = main.folder("/home/u/e/report.pdf");
    std::uint32_t f = main.folder("/home/u/f/report.pdf");
    std::uint32_t g = main.add("/home/u/gone/report.pdf", {.size = 100});
    std::uint32_t m = main.add("/media/Disk/report.pdf", {.size = 100});
    FixtureIndex disk;
    std::uint32_t diskCopy = disk.add("/media/Disk/report.pdf", {.size = 100});
    FixtureIndex old;
    std::uint32_t oldCopy = old.add("/media/Old/report.pdf", {.size = 50});

    EngineHarness harness;

    std::shared_ptr<SearchEngine> engine(std::int64_t limit = SearchEngine::defaultResultLimit) {
        return harness.make(
            {.store = main.open(),
             .limit = limit,
             .removedPaths = std::make_shared<const RemovedPaths>(Paths{"/home/u/gone"}),
             .catalogs = {{.id = "disk",
                           .name = "Disk",
                           .store = disk.open(),
                           .currentRoot = "/media/Disk",
                           .recordedRoot = "/media/Disk"},
                          {.id = "old",
                           .name = "Old",
                           .store = old.open(),
                           .currentRoot = std::nullopt,
                           .recordedRoot = "/media/Old"}}});
    }
    SearchOutcome copies(SearchEngine& engine, std::uint32_t id, std::string path) {
        std::optional<SearchOutcome> got;
        engine.findCopies(id, std::move(path),
                          [&](SearchOutcome outcome) { got = std::move(outcome); });
        harness.queues.drainAll();
        return got.value();
    }
};

TEST(SearchEngineCopies, EqualSizesFirstThenTheOthersFromEverySource) {
    CopiesFixture fx;
    const auto engine = fx.engine();
    const SearchOutcome outcome = fx.copies(*engine, fx.a, "/home/u/a/report.pdf");
    // The mounted disk's copy is the main index's /media/Disk one, listed once; the folder
    // of that name and the file under the removed folder are not copies.
    EXPECT_EQ(pathsOf(outcome),
              (Paths{"/home/u/c/REPORT.pdf", "/media/Disk/report.pdf", "/home/u/b/report.pdf",
                     "/home/u/d/report.pdf", "/media/Old/report.pdf"}));
    const auto& results = *outcome.resultsIfAny();
    EXPECT_EQ(results.totalMatches, 5);
    EXPECT_EQ(results.rows[0], (RankedRow{.id = fx.c,
                                          .name = "REPORT.pdf",
                                          .path = "/home/u/c/REPORT.pdf",
                                          .size = 100,
                                          .matchByteLength = 10}));
    const RankedRow& offline = results.rows[4];
    EXPECT_EQ(offline.id, CatalogSource::rowID("old", "/media/Old/report.pdf"));
    EXPECT_EQ(offline.origin, RowOrigin::fromCatalog("old", "Old", false));
    EXPECT_EQ(offline.offlineLabel(), "Offline \xC2\xB7 Old");
    EXPECT_EQ(offline.size, 50u);
}

TEST(SearchEngineCopies, ACatalogRowNeverListsItsOwnPath) {
    CopiesFixture fx;
    const auto engine = fx.engine();
    (void)fx.copies(*engine, fx.a, "/home/u/a/report.pdf");
    // The disk's copy was dropped above (its path was shown), yet it was found, and its
    // identifier now leads to it.
    const std::uint32_t diskRow = CatalogSource::rowID("disk", "/media/Disk/report.pdf");
    EXPECT_EQ(engine->catalogRowLookup().at(diskRow),
              (SearchEngine::CatalogRecord{0, fx.diskCopy}));
    const SearchOutcome outcome = fx.copies(*engine, diskRow, "/media/Disk/report.pdf");
    EXPECT_EQ(pathsOf(outcome),
              (Paths{"/home/u/a/report.pdf", "/home/u/c/REPORT.pdf", "/home/u/b/report.pdf",
                     "/home/u/d/report.pdf", "/media/Old/report.pdf"}));

    // Offline rows are a starting point too.
    const std::uint32_t oldRow = CatalogSource::rowID("old", "/media/Old/report.pdf");
    EXPECT_EQ(pathsOf(fx.copies(*engine, oldRow, "/media/Old/report.pdf")).size(), 5u);
}

TEST(SearchEngineCopies, AFoldersCopiesAreFolders) {
    CopiesFixture fx;
    const auto engine = fx.engine();
    const SearchOutcome outcome = fx.copies(*engine, fx.e, "/home/u/e/report.pdf");
    EXPECT_EQ(pathsOf(outcome), (Paths{"/home/u/f/report.pdf"}));
    EXPECT_TRUE(outcome.resultsIfAny()->rows[0].isDirectory);
}

TEST(SearchEngineCopies, TheLimitKeepsEqualSizesFirst) {
    CopiesFixture fx;
    const auto engine = fx.engine(3);
    const SearchOutcome outcome = fx.copies(*engine, fx.a, "/home/u/a/report.pdf");
    // Each index gives at most three: the main index's are the equal-sized c, the removed
    // one and the disk's, so b and d are never reached there.
    EXPECT_EQ(pathsOf(outcome),
              (Paths{"/home/u/c/REPORT.pdf", "/media/Disk/report.pdf", "/media/Old/report.pdf"}));
    EXPECT_EQ(outcome.resultsIfAny()->totalMatches, 3);
}

TEST(SearchEngineCopies, AnIdThatNoLongerNamesThePathFindsNothing) {
    CopiesFixture fx;
    const auto engine = fx.engine();
    struct Case {
        std::uint32_t id;
        const char* path;
        const char* why;
    };
    const Case cases[] = {
        {~0u, "/home/u/a/report.pdf", "a delta row"},
        {~fx.a, "/home/u/a/report.pdf", "a delta row"},
        {fx.a, "/home/u/other/notes.txt", "an older engine's record"},
        {1'000'000, "/home/u/a/report.pdf", "beyond the index"},
        {CatalogSource::rowID("old", "/media/Old/report.pdf"), "/media/Old/report.pdf",
         "a catalog row no search has listed"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(fx.copies(*engine, c.id, c.path).isNoMatches()) << c.why;

    // A file with no other copy.
    FixtureIndex lone;
    const std::uint32_t id = lone.add("/home/u/only.txt", {.size = 5});
    EngineHarness harness;
    const auto single = harness.make({.store = lone.open()});
    std::optional<SearchOutcome> got;
    single->findCopies(id, "/home/u/only.txt", [&](SearchOutcome o) { got = std::move(o); });
    harness.queues.drainAll();
    EXPECT_TRUE(got.value().isNoMatches());
}

TEST(SearchEngineCopies, AReleasedEngineNeverAnswers) {
    CopiesFixture fx;
    auto engine = fx.engine();
    bool called = false;
    engine->findCopies(fx.a, "/home/u/a/report.pdf", [&](SearchOutcome) { called = true; });
    engine.reset();
    fx.harness.queues.drainAll();
    EXPECT_FALSE(called);
}

} // namespace
} // namespace ulmaro
