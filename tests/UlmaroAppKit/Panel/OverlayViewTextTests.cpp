#include "UlmaroAppKit/Panel/OverlayViewText.h"

#include <gtest/gtest.h>
#include <limits>

namespace ulmaro {
namespace {

TEST(OverlayViewText, Compact) {
    const struct {
        std::int64_t count;
        const char* text;
    } cases[] = {{0, "0"},          {999, "999"},      {1000, "1k"},      {12345, "12k"},
                 {45600, "46k"},    {999999, "1000k"}, {1000000, "1.0M"}, {1500000, "1.5M"},
                 {2345000, "2.3M"}, {-5, "-5"}};
    for (const auto& c : cases)
        EXPECT_EQ(OverlayViewText::compact(c.count), c.text) << c.count;
}

TEST(OverlayViewText, FormatSearchDuration) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0.0009, "<1ms"},   {0.001, "1ms"},   {0.0124, "12ms"},
        {0.0126, "13ms"},   {0.0125, "13ms"}, {0.9994, "999ms"},
        {0.9996, "1000ms"}, {1.0, "1.0s"},    {12.34, "12.3s"},
        {0.0, "<1ms"},      {-0.5, "<1ms"},   {std::numeric_limits<double>::quiet_NaN(), "<1ms"}};
    for (const auto& c : cases)
        EXPECT_EQ(OverlayViewText::formatSearchDuration(c.seconds), c.text) << c.seconds;
}

TEST(OverlayViewText, TimingPill) {
    using OverlayViewText::timingPill;
    EXPECT_EQ(timingPill(false, std::nullopt), "");
    EXPECT_EQ(timingPill(true, std::nullopt), "Searching\xE2\x80\xA6");
    EXPECT_EQ(timingPill(true, OverlayViewText::ResultsTiming{3, 0.01}), "Searching\xE2\x80\xA6");
    EXPECT_EQ(timingPill(false, OverlayViewText::ResultsTiming{1, 0.0002}),
              "1 result \xC2\xB7 <1ms");
    EXPECT_EQ(timingPill(false, OverlayViewText::ResultsTiming{0, 0.002}),
              "0 results \xC2\xB7 2ms");
    EXPECT_EQ(timingPill(false, OverlayViewText::ResultsTiming{245, 0.012}),
              "245 results \xC2\xB7 12ms");
    EXPECT_EQ(timingPill(false, OverlayViewText::ResultsTiming{12345, 1.25}),
              "12345 results \xC2\xB7 1.2s");
    EXPECT_EQ(OverlayViewText::backgroundScanText(12345), "Indexing 12k");
}

} // namespace
} // namespace ulmaro
