#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Onboarding/BrandMarkGeometry.h"
#include "UlmaroAppKit/Onboarding/BrandMarkTicker.h"

#include <gtest/gtest.h>
#include <vector>

namespace ulmaro {
namespace {

TEST(BrandMarkGeometry, LengthsAtSize52) {
    const BrandMarkGeometry g(52);
    struct Case {
        const char* what;
        double actual, expected;
    };
    for (const Case& c :
         std::vector<Case>{{"margin", g.margin(), 3.0472},
                           {"tile side", g.tileSide(), 45.9056},
                           {"corner radius", g.cornerRadius(), 10.2691},
                           {"ray inner end", g.rayInnerRadius(), 6.1973},
                           {"long ray outer end", g.longRayOuterRadius(), 16.6178},
                           {"short ray outer end", g.shortRayOuterRadius(), 11.9286},
                           {"ray width", g.rayWidth(), 2.4789},
                           {"dot diameter", g.dotDiameter(), 5.7382}})
        EXPECT_NEAR(c.actual, c.expected, 5e-5) << c.what;
}

TEST(BrandMarkGeometry, RayEndsAtRestAndAfterOneTick) {
    const BrandMarkGeometry g(52);
    struct Case {
        int step, k;
        double x1, y1, x2, y2, opacity;
    };
    const std::vector<Case> cases = {
        // At rest: up, up-left, left, …; long and opaque on the axes, y downwards.
        {0, 0, 26.0000, 19.8027, 26.0000, 9.3822, 1.0},
        {0, 1, 21.6179, 21.6179, 17.5652, 17.5652, 0.55},
        {0, 2, 19.8027, 26.0000, 9.3822, 26.0000, 1.0},
        {0, 3, 21.6179, 30.3821, 17.5652, 34.4348, 0.55},
        {0, 4, 26.0000, 32.1973, 26.0000, 42.6178, 1.0},
        {0, 5, 30.3821, 30.3821, 34.4348, 34.4348, 0.55},
        {0, 6, 32.1973, 26.0000, 42.6178, 26.0000, 1.0},
        {0, 7, 30.3821, 21.6179, 34.4348, 17.5652, 0.55},
        // One tick turns every ray 11.25° clockwise: the top ray leans right.
        {1, 0, 27.2090, 19.9218, 29.2420, 9.7015, 1.0},
        {1, 1, 22.5570, 20.8472, 19.3728, 16.0818, 0.55},
        {1, 2, 19.9218, 24.7910, 9.7015, 22.7580, 1.0},
        {1, 3, 20.8472, 29.4430, 16.0818, 32.6272, 0.55},
        {1, 4, 24.7910, 32.0782, 22.7580, 42.2985, 1.0},
        {1, 5, 29.4430, 31.1528, 32.6272, 35.9182, 0.55},
        {1, 6, 32.0782, 27.2090, 42.2985, 29.2420, 1.0},
        {1, 7, 31.1528, 22.5570, 35.9182, 19.3728, 0.55},
    };
    for (const Case& c : cases) {
        const auto r = g.ray(c.k, c.step);
        EXPECT_NEAR(r.inner.x, c.x1, 1e-4) << c.step << " " << c.k;
        EXPECT_NEAR(r.inner.y, c.y1, 1e-4) << c.step << " " << c.k;
        EXPECT_NEAR(r.outer.x, c.x2, 1e-4) << c.step << " " << c.k;
        EXPECT_NEAR(r.outer.y, c.y2, 1e-4) << c.step << " " << c.k;
        EXPECT_EQ(r.opacity, c.opacity) << c.step << " " << c.k;
    }
    // The picture repeats every 8 ticks.
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(g.ray(k, 8).outer.x, g.ray((k + 6) % 8, 0).outer.x, 1e-9);
        EXPECT_NEAR(g.ray(k, 8).outer.y, g.ray((k + 6) % 8, 0).outer.y, 1e-9);
    }
    EXPECT_EQ(BrandMarkGeometry::rotationDegrees(2), 22.5);
    EXPECT_EQ(BrandMarkGeometry::dotScale(0), 1.0);
    EXPECT_EQ(BrandMarkGeometry::dotScale(1), 1.14);
    EXPECT_EQ(BrandMarkGeometry::dotScale(2), 1.0);
    EXPECT_EQ(BrandMarkGeometry::dotScale(-1), 1.14);
}

TEST(BrandMarkGeometry, TheIconIsTheMarkAtRest) {
    const std::string svg = BrandMarkGeometry(64).svg();
    EXPECT_NE(svg.find("viewBox=\"0 0 64 64\""), std::string::npos);
    EXPECT_NE(svg.find("rgb(55,48,163)"), std::string::npos);
    EXPECT_NE(svg.find("rgb(124,58,237)"), std::string::npos);
    EXPECT_NE(svg.find("stroke-linecap=\"round\""), std::string::npos);
    std::size_t lines = 0;
    for (auto at = svg.find("<line "); at != std::string::npos; at = svg.find("<line ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 8u);
    EXPECT_EQ(svg.find(','), svg.find("rgb(55,") + 6) << "numbers never take a decimal comma";
}

struct TickerFixture {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::vector<long long> steps;
    BrandMarkTicker make(bool spinning) {
        return BrandMarkTicker(clock, spinning, [this](long long s) { steps.push_back(s); });
    }
};

TEST(BrandMarkTicker, TicksOnlyWhileSpinningOnScreen) {
    TickerFixture f;
    auto still = f.make(false);
    still.appear();
    f.clock->advance(Seconds(2));
    EXPECT_FALSE(still.isTicking());
    EXPECT_EQ(still.step(), 0);

    auto mark = f.make(true);
    f.clock->advance(Seconds(1));
    EXPECT_EQ(mark.step(), 0) << "nothing before it comes on screen";
    mark.appear();
    mark.appear();
    f.clock->advance(Seconds(0.39));
    EXPECT_EQ(mark.step(), 0);
    f.clock->advance(Seconds(0.81));
    EXPECT_EQ(f.steps, (std::vector<long long>{1, 2, 3})) << "one timer for two appearances";

    // Spinning changes on screen start or stop nothing.
    mark.setSpinning(false);
    f.clock->advance(Seconds(0.4));
    EXPECT_EQ(mark.step(), 4);
    mark.disappear();
    f.clock->advance(Seconds(2));
    EXPECT_EQ(mark.step(), 4);
    mark.appear();
    f.clock->advance(Seconds(2));
    EXPECT_EQ(mark.step(), 4) << "no longer spinning when it came back";
    mark.disappear();
    mark.setSpinning(true);
    f.clock->advance(Seconds(1));
    EXPECT_EQ(mark.step(), 4);
    mark.appear();
    f.clock->advance(Seconds(0.4));
    EXPECT_EQ(mark.step(), 5) << "resumes from the step it had";
}

} // namespace
} // namespace ulmaro
