#include "UlmaroAppKit/Indexing/ResourceGuard.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace ulmaro {
namespace {

using Verdict = ResourceGuard::Verdict;

std::string refusal(const char* needed, const char* free) {
    return std::string("Not enough free disk space to rebuild the index. ") + needed + " needed, " +
           free + " free. Search still works on the index you have.";
}

TEST(ResourceGuard, NeedsTheReservePlusTwiceTheIndex) {
    ScopedUserLocale locale("en_US");
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    struct Case {
        std::optional<std::int64_t> free;
        std::int64_t index;
        Verdict expected;
    };
    const std::vector<Case> cases = {
        {600'000'000, 0, {}},
        {std::nullopt, 0, {}},
        {std::nullopt, max, {}}, // unknown free space never blocks
        {524'288'000, 0, {}},
        {524'287'999, 0, {false, refusal("524.3 MB", "524.3 MB")}},
        {724'288'000, 100'000'000, {}},
        {724'287'999, 100'000'000, {false, refusal("724.3 MB", "724.3 MB")}},
        {3'000'000'000, 2'000'000'000, {false, refusal("4.52 GB", "3 GB")}},
        {0, 0, {false, refusal("524.3 MB", "Zero KB")}},
        {600'000'000, -5, {}}, // a negative size counts as none
        // Sums past 64 bits refuse rather than wrap.
        {max, max / 2, {false, refusal("9,223,372,036.85 GB", "9,223,372,036.85 GB")}},
        {max, max, {false, refusal("9,223,372,036.85 GB", "9,223,372,036.85 GB")}},
        {max, (max - ResourceGuard::reserveBytes) / 2, {}}, // the largest that adds up
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResourceGuard::evaluate(c.free, c.index), c.expected)
            << c.free.value_or(-1) << " free, index " << c.index;
    }
}

TEST(ResourceGuard, FreeBytesOfTheIndexFolder) {
    test::TempDir dir;
    auto free = ResourceGuard::freeBytes(dir / "index.bin");
    ASSERT_TRUE(free.has_value());
    EXPECT_GE(*free, 0);

    // A fresh account: the index's folder is not there yet. Its volume is the nearest
    // existing ancestor's, so a disk too full for the index still refuses.
    const auto fresh = dir / "home" / ".local" / "share" / "Ulmaro" / "index.bin";
    const auto ancestor = ResourceGuard::freeBytes(fresh);
    ASSERT_TRUE(ancestor.has_value());
    EXPECT_NEAR(static_cast<double>(*ancestor), static_cast<double>(*free), 64.0 * 1024 * 1024);
    EXPECT_FALSE(ResourceGuard::evaluate(fresh, *ancestor).canScan);
    EXPECT_FALSE(std::filesystem::exists(dir / "home")); // asking creates nothing
}

} // namespace
} // namespace ulmaro
