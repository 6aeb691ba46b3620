#include "EngineTestSupport.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <gtest/gtest.h>
#include <limits>

namespace ulmaro {
namespace {

using test::EngineHarness;
using test::FixtureIndex;
using test::pathsOf;

std::vector<std::string> names(const std::vector<RankedRow>& rows) {
    std::vector<std::string> out;
    for (const RankedRow& row : rows)
        out.push_back(row.name);
    return out;
}

TEST(SearchEngineSort, EachOrderIsStable) {
    const ScopedUserLocale locale("en_US");
    const std::vector<RankedRow> rows = {
        {.id = 1, .name = "file10.txt", .size = 5, .mtime = 300},
        {.id = 2, .name = "File2.txt", .size = 9, .mtime = 100},
        {.id = 3, .name = "file1.txt", .size = 5, .mtime = 300},
        {.id = 4, .name = "file3.txt", .size = 1, .mtime = 200},
        {.id = 5, .name = "file1.txt", .size = 5, .mtime = 100},
    };
    const std::pair<SortOrder, std::vector<std::uint32_t>> cases[] = {
        {SortOrder::relevance, {1, 2, 3, 4, 5}},
        {SortOrder::size, {2, 1, 3, 5, 4}},
        {SortOrder::dateModified, {1, 3, 4, 2, 5}},
        {SortOrder::name, {3, 5, 2, 4, 1}},
    };
    for (const auto& [order, expected] : cases) {
        std::vector<std::uint32_t> ids;
        for (const RankedRow& row : SearchEngine::sort(rows, order))
            ids.push_back(row.id);
        EXPECT_EQ(ids, expected) << rawValue(order);
    }
}

struct OrderFixture {
    std::shared_ptr<const IndexStore> store = [] {
        FixtureIndex index;
        index.add("/home/u/a/report10.txt", {.size = 5, .mtime = 300});
        index.add("/home/u/report2.txt", {.size = 9, .mtime = 100});
        index.add("/home/u/b/c/Report1.txt", {.size = 5, .mtime = 300});
        index.add("/home/u/report3.txt", {.size = 1, .mtime = 200});
        return index.open();
    }();
    EngineHarness harness;

    std::vector<RankedRow> rows(SortOrder order, SearchEngine::FrecencyBoost boost = {}) {
        const auto engine =
            harness.make({.store = store, .frecencyBoost = std::move(boost), .sortOrder = order});
        return harness.run(*engine, "report").resultsIfAny()->rows;
    }
};

TEST(SearchEngineSort, TheEngineOrdersItsRowsByItsSortOrder) {
    const ScopedUserLocale locale("en_US");
    OrderFixture f;
    const std::vector<RankedRow> relevance = f.rows(SortOrder::relevance);
    ASSERT_EQ(relevance.size(), 4u);
    for (SortOrder order : {SortOrder::size, SortOrder::dateModified, SortOrder::name})
        EXPECT_EQ(f.rows(order), SearchEngine::sort(relevance, order)) << rawValue(order);
    EXPECT_EQ(
        names(f.rows(SortOrder::name)),
        (std::vector<std::string>{"Report1.txt", "report2.txt", "report3.txt", "report10.txt"}));
}

TEST(SearchEngineSort, FrecencyLiftsRowsInRelevanceOrderOnly) {
    OrderFixture f;
    const std::vector<RankedRow> plain = f.rows(SortOrder::relevance);
    // Without any boost the assembled order stands.
    EXPECT_EQ(f.rows(SortOrder::relevance, [](std::string_view) { return 0.0; }), plain);

    const std::string last = plain.back().path;
    auto boost = [last](std::string_view path) { return path == last ? 10.0 : 0.0; };
    const std::vector<RankedRow> lifted = f.rows(SortOrder::relevance, boost);
    EXPECT_EQ(lifted.front().path, last);
    for (std::size_t i = 1; i < lifted.size(); ++i)
        EXPECT_EQ(lifted[i].path, plain[i - 1].path);

    // A boost smaller than one place moves a row by no more than that: equal scores keep
    // their order.
    auto nudge = [last](std::string_view path) { return path == last ? 1.0 : 0.0; };
    const std::vector<RankedRow> nudged = f.rows(SortOrder::relevance, nudge);
    EXPECT_EQ(nudged, plain);

    EXPECT_EQ(f.rows(SortOrder::size, boost), SearchEngine::sort(plain, SortOrder::size));

    // Boosts that are not numbers count as none.
    auto broken = [](std::string_view path) {
        return path.ends_with("3.txt")   ? std::numeric_limits<double>::quiet_NaN()
               : path.ends_with("2.txt") ? -std::numeric_limits<double>::infinity()
                                         : 0.0;
    };
    EXPECT_EQ(f.rows(SortOrder::relevance, broken), plain);
}

} // namespace
} // namespace ulmaro
