#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/Panel/PanelPlacement.h"

#include <gtest/gtest.h>
#include <vector>

namespace ulmaro {
namespace {

TEST(PanelPlacement, RestoresOrCentres) {
    const PanelRect left{0, 30, 1920, 1050};
    const PanelRect right{1920, 0, 1280, 1024};
    const PanelRect shortScreen{0, 0, 800, 600};
    struct Row {
        const char* what;
        std::optional<PanelPoint> saved;
        std::vector<PanelRect> screens;
        std::optional<PanelRect> active;
        std::optional<PanelPoint> expected;
    };
    const std::vector<Row> rows = {
        {"nothing saved centres 200 below the top",
         std::nullopt,
         {left, right},
         left,
         PanelPoint{620, 230}},
        {"saved corner on the second screen stays",
         PanelPoint{2000, 100},
         {left, right},
         left,
         PanelPoint{2000, 100}},
        {"a corner off every screen's area is not used, though the panel would meet one",
         PanelPoint{-600, 40},
         {left},
         left,
         PanelPoint{620, 230}},
        {"a corner under a bar at the top of the screen is not used either",
         PanelPoint{0, 0},
         {left},
         left,
         PanelPoint{620, 230}},
        {"a corner just inside the area stays", PanelPoint{0, 30}, {left}, left, PanelPoint{0, 30}},
        {"the screen it was on is gone", PanelPoint{2000, 100}, {left}, left, PanelPoint{620, 230}},
        {"no active screen centres on the first",
         PanelPoint{5000, 5000},
         {right, left},
         std::nullopt,
         PanelPoint{2220, 200}},
        {"a screen shorter than 200 plus the panel puts it on the bottom edge",
         std::nullopt,
         {shortScreen},
         shortScreen,
         PanelPoint{60, 120}},
        {"no screen at all leaves it where it is",
         PanelPoint{10, 10},
         {},
         std::nullopt,
         std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PanelPlacement::restoredOrCentred(row.saved, 680, 480, row.screens, row.active),
                  row.expected)
            << row.what;
}

TEST(PanelPlacement, HeightChangesKeepTheTopEdge) {
    const PanelRect current{100, 200, 680, 480};
    struct Row {
        const char* what;
        PanelRect wanted, expected;
    };
    const std::vector<Row> rows = {
        {"grows with its bottom anchored: top kept", {100, 100, 680, 580}, {100, 200, 680, 580}},
        {"shrinks with its bottom anchored: top kept", {100, 300, 680, 380}, {100, 200, 680, 380}},
        {"grows downwards already", {100, 200, 680, 600}, {100, 200, 680, 600}},
        {"a change of exactly half a pixel is taken as it is",
         {100, 199.5, 680, 480.5},
         {100, 199.5, 680, 480.5}},
        {"a move of the bottom by half a pixel is a move",
         {100, 100.5, 680, 580},
         {100, 100.5, 680, 580}},
        {"a drag moves it", {300, 50, 680, 480}, {300, 50, 680, 480}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PanelPlacement::keepingTopEdge(current, row.wanted), row.expected) << row.what;
    const PanelRect never{0, 0, 680, 0};
    EXPECT_EQ(PanelPlacement::keepingTopEdge(never, {0, -100, 680, 100}),
              (PanelRect{0, -100, 680, 100}))
        << "a window never sized takes its first frame as it is";
}

TEST(PanelPlacement, ThePreviewGoesBesideThePanel) {
    const PanelRect wide{0, 30, 1920, 1050};
    const PanelRect narrow{0, 0, 1280, 800};
    struct Row {
        const char* what;
        PanelRect panel;
        PanelRect screen;
        PanelRect expected;
    };
    const std::vector<Row> rows = {
        {"centred on a wide screen: right of it, as wide as the room",
         {620, 230, 680, 400},
         wide,
         {1312, 230, 608, 600}},
        {"moved to the right: left of it, at full size",
         {1200, 100, 680, 400},
         wide,
         {388, 100, 800, 600}},
        {"low on the screen: its top rises to fit",
         {620, 800, 680, 200},
         wide,
         {1312, 480, 608, 600}},
        {"no side wide enough: the least overlap, at the screen's edge",
         {300, 200, 680, 500},
         narrow,
         {960, 200, 320, 600}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const PanelRect got = PanelPlacement::beside(row.panel, row.screen, 800, 600);
        EXPECT_EQ(got, row.expected);
        EXPECT_GE(got.x, row.screen.x);
        EXPECT_LE(got.right(), row.screen.right());
        EXPECT_LE(got.bottom(), row.screen.bottom());
    }
}

TEST(OverlayLayout, Heights) {
    struct Row {
        int rows, previews;
        double expected;
    };
    const std::vector<Row> rows = {
        {0, 0, 0},    {-1, 3, 0},
        {1, 0, 52},   {1, 1, 68},
        {10, 0, 394}, {3, 2, 52 + 52 + 36 + 4 + 16},
        {12, 0, 460}, {2, 5, 52 * 2 + 2 + 16},
    };
    for (const Row& row : rows)
        EXPECT_EQ(OverlayLayout::resultsHeight(row.rows, row.previews), row.expected)
            << row.rows << " rows, " << row.previews << " previews";
    EXPECT_EQ(OverlayLayout::rowHeight(true), 52);
    EXPECT_EQ(OverlayLayout::rowHeight(false), 36);
    EXPECT_EQ(OverlayLayout::cheatSheetHeight(12, 12), 540);
    EXPECT_EQ(OverlayLayout::cheatSheetHeight(2, 3), 118 + 46 + 57);
}

} // namespace
} // namespace ulmaro
