#include "UlmaroAppKit/Search/RankedRow.h"
#include "UlmaroAppKit/Search/SearchEngineProtocol.h"
#include "UlmaroAppKit/Search/SortOrder.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(RankedRow, OriginDecidesTheCatalogProperties) {
    RankedRow mac{.id = 1, .name = "a", .path = "/a"};
    EXPECT_EQ(mac.origin, RowOrigin::mac());
    EXPECT_EQ(mac.catalogID(), std::nullopt);
    EXPECT_EQ(mac.catalogName(), std::nullopt);
    EXPECT_FALSE(mac.isOffline());
    EXPECT_EQ(mac.offlineLabel(), std::nullopt);

    RankedRow online = mac;
    online.origin = RowOrigin::fromCatalog("c1", "Photos", true);
    EXPECT_EQ(online.catalogID(), "c1");
    EXPECT_EQ(online.catalogName(), "Photos");
    EXPECT_FALSE(online.isOffline());
    EXPECT_EQ(online.offlineLabel(), std::nullopt);

    RankedRow offline = mac;
    offline.origin = RowOrigin::fromCatalog("c1", "Photos", false);
    EXPECT_TRUE(offline.isOffline());
    EXPECT_EQ(offline.offlineLabel(), "Offline \u00B7 Photos");
}

TEST(RankedRow, EveryFieldTakesPartInEquality) {
    const RankedRow a{.id = 1, .name = "a", .path = "/a"};
    RankedRow b = a;
    EXPECT_EQ(a, b);
    b.contentMatch = ContentSearcher::Hit{"/a", 3, "line"};
    EXPECT_NE(a, b);
    b = a;
    b.matchRanges = {{0, 1}};
    EXPECT_NE(a, b);
    b = a;
    b.origin = RowOrigin::fromCatalog("c", "C", true);
    EXPECT_NE(a, b);
}

TEST(SortOrder, RawValuesAndLabels) {
    EXPECT_EQ(allSortOrders, (std::array{SortOrder::relevance, SortOrder::size,
                                         SortOrder::dateModified, SortOrder::name}));
    for (SortOrder order : allSortOrders)
        EXPECT_EQ(sortOrderFromRaw(rawValue(order)), order);
    EXPECT_EQ(rawValue(SortOrder::dateModified), "dateModified");
    EXPECT_EQ(sortOrderFromRaw("Size"), std::nullopt);
    EXPECT_EQ(sortOrderFromRaw("datemodified"), std::nullopt);
    EXPECT_EQ(sortOrderFromRaw(""), std::nullopt);
    EXPECT_EQ(label(SortOrder::relevance), "Best match");
    EXPECT_EQ(label(SortOrder::size), "Largest");
    EXPECT_EQ(label(SortOrder::dateModified), "Newest");
    EXPECT_EQ(label(SortOrder::name), "Name");
}

TEST(SearchEngineProtocol, DefaultCopiesAnswerNoMatchesAtOnce) {
    struct OnlySearch final : SearchEngineProtocol {
        std::int64_t search(std::string, SearchCompletion) override { return 0; }
    } engine;
    std::optional<SearchOutcome> got;
    engine.findCopies(7, "/a", [&](SearchOutcome outcome) { got = std::move(outcome); });
    ASSERT_TRUE(got.has_value());
    EXPECT_TRUE(got->isNoMatches());
    EXPECT_NE(*got, SearchOutcome::results({}, 0, 0));
}

} // namespace
} // namespace ulmaro
