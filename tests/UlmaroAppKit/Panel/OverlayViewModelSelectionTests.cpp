#include "OverlayViewModelFixture.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;
using Empty = OverlayViewModel::EmptySelection;
using IDs = std::set<std::uint32_t>;

std::vector<std::uint32_t> idsOf(const std::vector<RankedRow>& rows) {
    std::vector<std::uint32_t> ids;
    for (const auto& r : rows)
        ids.push_back(r.id);
    return ids;
}

TEST(OverlayViewModelSelection, ANewListKeepsAMovedRowElseTakesTheFirstElseNone) {
    OverlayFixture f;
    auto& m = *f.model;
    f.showRows({row(1, "/a"), row(2, "/b"), row(3, "/c")}, "a");
    EXPECT_EQ(m.selectedID.get(), 1u);
    m.select(row(2, "/b"));
    m.extraSelectedIDs.set({1, 3});

    // Row 2 moved to the end and row 1 left: 2 stays, the extras shrink to what is left.
    f.showRows({row(3, "/c"), row(7, "/g"), row(2, "/b")}, "ab");
    EXPECT_EQ(m.selectedID.get(), 2u);
    EXPECT_EQ(m.extraSelectedIDs.get(), IDs{3});
    EXPECT_EQ(m.selectedRow()->path, "/b");

    f.showRows({row(8, "/h"), row(9, "/i")}, "abc");
    EXPECT_EQ(m.selectedID.get(), 8u);
    EXPECT_TRUE(m.extraSelectedIDs.get().empty());

    f.showRows({}, "abcd");
    EXPECT_EQ(m.selectedID.get(), std::nullopt);
    EXPECT_EQ(m.selectedRow(), std::nullopt);

    f.showRows({row(1, "/a")}, "abcde");
    f.search("abcdef", SearchOutcome::noMatches());
    EXPECT_EQ(m.selectedID.get(), std::nullopt);
}

TEST(OverlayViewModelSelection, ArrowsWrapAroundBothWaysAndStartBrowsing) {
    OverlayFixture f;
    auto& m = *f.model;
    f.showRows({row(10, "/a"), row(20, "/b"), row(30, "/c")});
    EXPECT_FALSE(m.isBrowsingResults.get());

    struct Step {
        int delta;
        std::uint32_t expected;
    };
    for (const auto& step :
         std::vector<Step>{{-1, 30}, {+1, 10}, {+1, 20}, {+1, 30}, {+1, 10}, {+4, 20}, {-5, 30}}) {
        m.moveSelection(step.delta);
        EXPECT_EQ(m.selectedID.get(), step.expected) << step.delta;
    }
    EXPECT_TRUE(m.isBrowsingResults.get());

    // A selection that is not in the list counts as the first row.
    m.selectedID.set(99);
    m.moveSelection(+1);
    EXPECT_EQ(m.selectedID.get(), 20u);

    m.extraSelectedIDs.set({10, 30});
    m.moveSelectionCollapsing(+1);
    EXPECT_EQ(m.selectedID.get(), 30u);
    EXPECT_TRUE(m.extraSelectedIDs.get().empty());
}

TEST(OverlayViewModelSelection, TheEmptyPanelsListIsWalkedWithWrapAround) {
    OverlayFixture f;
    auto& m = *f.model;
    const WallTime t = f.clock->now();
    f.recents->recordSearch("older", 1, t);
    f.recents->recordSearch("newer", 2, t);
    f.recents->recordOpened("/home/u/a.txt", "a.txt", t);
    // Newest first: the searches, then the files.
    const Empty first = Empty::search("newer");
    const Empty second = Empty::search("older");
    const Empty last = Empty::file("/home/u/a.txt");

    m.moveSelection(+1);
    EXPECT_EQ(m.emptySelection.get(), first);
    m.moveSelection(-1);
    EXPECT_EQ(m.emptySelection.get(), last);
    m.moveSelection(+1);
    EXPECT_EQ(m.emptySelection.get(), first);
    m.moveSelection(+1);
    EXPECT_EQ(m.emptySelection.get(), second);
    EXPECT_FALSE(m.isBrowsingResults.get());

    m.emptySelection.set(std::nullopt);
    m.moveSelection(-1);
    EXPECT_EQ(m.emptySelection.get(), last);

    // An item that left the list counts as nothing highlighted.
    m.emptySelection.set(Empty::file("/gone"));
    m.moveSelection(+1);
    EXPECT_EQ(m.emptySelection.get(), first);

    // A query that found nothing has no list to walk.
    f.search("zzz", SearchOutcome::noMatches());
    m.moveSelection(+1);
    m.moveSelection(-1);
    EXPECT_EQ(m.emptySelection.get(), std::nullopt);
    EXPECT_EQ(m.selectedID.get(), std::nullopt);

    OverlayFixture bare(/*withEngine=*/true, /*withRecents=*/false);
    bare.model->moveSelection(+1);
    EXPECT_EQ(bare.model->emptySelection.get(), std::nullopt);
}

TEST(OverlayViewModelSelection, RangesReachFromTheAnchorWithoutWrapping) {
    OverlayFixture f;
    auto& m = *f.model;
    f.showRows({row(1, "/a"), row(2, "/b"), row(3, "/c"), row(4, "/d"), row(5, "/e")});
    m.select(row(3, "/c"));

    struct Case {
        const char* what;
        std::function<void()> act;
        IDs extra;
    };
    const std::vector<Case> cases = {
        {"to a later row", [&] { m.extendSelectionTo(5); }, {4, 5}},
        {"to an earlier row", [&] { m.extendSelectionTo(1); }, {1, 2}},
        {"to the anchor", [&] { m.extendSelectionTo(3); }, {}},
        {"by one", [&] { m.extendSelectionBy(+1); }, {4}},
        {"by one again does not widen", [&] { m.extendSelectionBy(+1); }, {4}},
        {"by two back", [&] { m.extendSelectionBy(-2); }, {1, 2}},
        {"past the end does nothing", [&] { m.extendSelectionBy(+3); }, {1, 2}},
        {"before the start does nothing", [&] { m.extendSelectionBy(-3); }, {1, 2}},
        {"to a row not listed does nothing", [&] { m.extendSelectionTo(42); }, {1, 2}},
    };
    for (const auto& c : cases) {
        c.act();
        EXPECT_EQ(m.extraSelectedIDs.get(), c.extra) << c.what;
        EXPECT_EQ(m.selectedID.get(), 3u) << c.what;
    }
    EXPECT_EQ(idsOf(m.selectedRows()), (std::vector<std::uint32_t>{1, 2, 3}));

    // Without an anchor in the list there is no range.
    m.clearExtraSelection();
    m.selectedID.set(42);
    m.extendSelectionTo(2);
    m.extendSelectionBy(1);
    EXPECT_TRUE(m.extraSelectedIDs.get().empty());
}

TEST(OverlayViewModelSelection, TogglesAndSelectAll) {
    OverlayFixture f;
    auto& m = *f.model;
    // IDs in an order that differs from the list's, so a set's order would pick another row.
    f.showRows({row(5, "/e"), row(9, "/i"), row(7, "/g"), row(2, "/b")});
    ASSERT_EQ(m.selectedID.get(), 5u);

    m.toggleSelection(5);
    EXPECT_EQ(m.selectedID.get(), 5u) << "the last selected row stays";
    EXPECT_TRUE(m.extraSelectedIDs.get().empty());

    m.toggleSelection(2);
    m.toggleSelection(7);
    EXPECT_EQ(m.extraSelectedIDs.get(), (IDs{2, 7}));
    EXPECT_EQ(idsOf(m.selectedRows()), (std::vector<std::uint32_t>{5, 7, 2}));

    // Deselecting the anchor hands it to the first extra row in list order.
    m.toggleSelection(5);
    EXPECT_EQ(m.selectedID.get(), 7u);
    EXPECT_EQ(m.extraSelectedIDs.get(), IDs{2});

    m.toggleSelection(2);
    EXPECT_TRUE(m.extraSelectedIDs.get().empty());

    m.selectAllRows();
    EXPECT_EQ(m.selectedID.get(), 7u);
    EXPECT_EQ(m.extraSelectedIDs.get(), (IDs{2, 5, 9}));

    NotificationCount extras(m.extraSelectedIDs);
    m.clearExtraSelection();
    m.clearExtraSelection();
    EXPECT_EQ(extras.count, 1);

    m.selectedID.set(std::nullopt);
    m.selectAllRows();
    EXPECT_EQ(m.selectedID.get(), 5u) << "the first row becomes the anchor";
    EXPECT_EQ(m.extraSelectedIDs.get(), (IDs{2, 7, 9}));

    f.search("x", SearchOutcome::noMatches());
    m.selectAllRows();
    EXPECT_EQ(m.selectedID.get(), std::nullopt);
    EXPECT_TRUE(m.selectedRows().empty());
}

TEST(OverlayViewModelSelection, SelectedPathIsTheTargetsAndNoneForAnOfflineRow) {
    OverlayFixture f;
    auto& m = *f.model;
    EXPECT_EQ(m.selectedPath(), std::nullopt);

    f.recents->recordOpened("/home/u/a.txt", "a.txt", f.clock->now());
    m.select(f.recents->recentFiles()[0]);
    EXPECT_EQ(m.selectedPath(), "/home/u/a.txt");
    // A recent file is a target only while the query is empty.
    f.search("a", SearchOutcome::noMatches());
    m.emptySelection.set(Empty::file("/home/u/a.txt"));
    EXPECT_EQ(m.selectedPath(), std::nullopt);

    f.showRows({row(1, "/a"), row(2, "/mnt/b", offlineCatalog())}, "ab");
    EXPECT_EQ(m.selectedPath(), "/a");
    m.moveSelection(+1);
    EXPECT_EQ(m.selectedRow()->id, 2u);
    EXPECT_EQ(m.selectedPath(), std::nullopt);
}

} // namespace
} // namespace ulmaro
