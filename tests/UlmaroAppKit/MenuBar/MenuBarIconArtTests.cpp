#include "UlmaroAppKit/MenuBar/MenuBarIconArt.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace ulmaro {
namespace {

using Art = MenuBarIconArt;
using Glyph = Art::Glyph;

double distance(Art::Point a, Art::Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

double angleOf(const Art::Segment& spoke, Art::Point centre) {
    return std::atan2(spoke.to.y - centre.y, spoke.to.x - centre.x);
}

TEST(MenuBarIconArt, SpokesAndDotInTheEighteenUnitBox) {
    const Art::Drawing d = Art::drawing(Glyph::ready, 0);
    EXPECT_EQ(d.dotCentre, (Art::Point{9, 9}));
    EXPECT_NEAR(d.dotDiameter, 2.97, 1e-9);
    EXPECT_EQ(d.lineWidth, 1.5);
    ASSERT_EQ(d.spokes.size(), 8u);
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_NEAR(distance(d.spokes[k].from, d.dotCentre), 3.15, 1e-9) << k;
        EXPECT_NEAR(distance(d.spokes[k].to, d.dotCentre), k % 2 == 0 ? 7.92 : 5.4396, 1e-9) << k;
    }
    // Long spokes up, left, down and right, in that order, y growing upwards.
    EXPECT_NEAR(d.spokes[0].to.y, 9 + 7.92, 1e-9);
    EXPECT_NEAR(d.spokes[2].to.x, 9 - 7.92, 1e-9);
    EXPECT_NEAR(d.spokes[4].to.y, 9 - 7.92, 1e-9);
    EXPECT_NEAR(d.spokes[6].to.x, 9 + 7.92, 1e-9);
    EXPECT_FALSE(d.badge);
}

TEST(MenuBarIconArt, RotationStepsWithThePhaseReducedModuloFour) {
    const struct {
        Glyph glyph;
        int phase;
        double turns; // in sixteenths of π
    } cases[] = {
        {Glyph::working, 0, 0}, {Glyph::working, 1, 1}, {Glyph::working, 3, 3},
        {Glyph::working, 4, 0}, {Glyph::working, 5, 1}, {Glyph::working, -1, 3},
        {Glyph::ready, 2, 0},   {Glyph::failed, 3, 0},
    };
    for (const auto& c : cases) {
        const double expected = c.turns * std::numbers::pi / 16;
        EXPECT_NEAR(Art::rotation(c.glyph, c.phase), expected, 1e-12) << c.phase;
        const Art::Drawing d = Art::drawing(c.glyph, c.phase);
        EXPECT_NEAR(angleOf(d.spokes[0], d.dotCentre), std::numbers::pi / 2 + expected, 1e-9);
    }
}

TEST(MenuBarIconArt, BadgeOnlyWhenFailed) {
    EXPECT_FALSE(Art::drawing(Glyph::working, 2).badge);
    const Art::Drawing failed = Art::drawing(Glyph::failed, 0);
    ASSERT_TRUE(failed.badge);
    EXPECT_EQ(failed.badge->bar, (Art::Rect{13.4, 9.8, 1.6, 4.2}));
    EXPECT_EQ(failed.badge->cornerRadius, 0.8);
    EXPECT_EQ(failed.badge->dot, (Art::Rect{13.4, 8.6, 1.6, 1.6}));
    EXPECT_EQ(failed.spokes[0].to.x, Art::drawing(Glyph::ready, 0).spokes[0].to.x);

    // Any box: the mark scales with its smaller side and sits at its centre; the badge
    // keeps to the top-right corner.
    const Art::Drawing wide = Art::drawing(Glyph::failed, 0, {10, 20, 36, 18});
    EXPECT_EQ(wide.dotCentre, (Art::Point{28, 29}));
    EXPECT_NEAR(wide.dotDiameter, 2.97, 1e-9);
    EXPECT_NEAR(wide.badge->bar.x, 46 - 4.6, 1e-9);
}

} // namespace
} // namespace ulmaro
