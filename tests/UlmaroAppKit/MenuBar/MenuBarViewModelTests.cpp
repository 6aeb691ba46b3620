#include "UlmaroAppKit/MenuBar/MenuBarViewModel.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

// Appends rather than prepends: GCC 12 misreads "literal" + std::string as overlapping.
std::string withNumber(std::string prefix, std::size_t n) {
    prefix += std::to_string(n);
    return prefix;
}

using VM = MenuBarViewModel;
using Glyph = VM::IconState::Glyph;
using namespace std::chrono_literals;

const WallTime now = WallTime(std::chrono::seconds(1'800'000'000));

VM withState(VM::IndexAvailability state) {
    return {.indexState = std::move(state)};
}

TEST(MenuBarViewModel, SummaryLineForEachState) {
    ScopedUserLocale locale("de_DE"); // counts stay en_US
    const struct {
        VM::IndexAvailability state;
        std::string summary;
    } cases[] = {
        {VM::Indexing{1234567}, "Ulmaro — indexing… 1,234,567"},
        {VM::Ready{1, now - 5min}, "Ulmaro — 1 files · indexed 5m ago"},
        {VM::Ready{2500, now}, "Ulmaro — 2,500 files · indexed just now"},
        {VM::Refreshing{10000, 42}, "Ulmaro — 10,000 files · refreshing…"},
        {VM::Failed{"No index available. Run ‘lu scan’ to build one."},
         "No index available. Run ‘lu scan’ to build one."},
        {VM::Unavailable{"Another instance is running."}, "Ulmaro — index unavailable · Rebuild"},
        {VM::CatalogOnly{1, 1}, "Ulmaro — 1 catalog · 1 file"},
        {VM::CatalogOnly{2, 0}, "Ulmaro — 2 catalogs · 0 files"},
        {VM::CatalogOnly{1000, 2000000}, "Ulmaro — 1,000 catalogs · 2,000,000 files"},
        {VM::Loading{}, "Ulmaro — loading…"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withState(c.state).summaryLine(now), c.summary);
}

TEST(MenuBarViewModel, AgesAroundEachUnitBoundary) {
    const struct {
        Seconds ago;
        std::string text;
    } cases[] = {
        {-1h, "just now"},   {0s, "just now"},         {59s, "just now"},   {60s, "1m ago"},
        {5min, "5m ago"},    {59min + 59s, "59m ago"}, {60min, "1h ago"},   {1439min, "23h ago"},
        {1440min, "1d ago"}, {2879min, "1d ago"},      {2880min, "2d ago"}, {400 * 24h, "400d ago"},
    };
    for (const auto& c : cases) {
        const auto date = now - std::chrono::duration_cast<WallTime::duration>(c.ago);
        EXPECT_EQ(VM::relative(date, now), c.text) << c.ago.count();
    }
    // Dates at the ends of the clock's range, as a damaged setting may give them.
    EXPECT_EQ(VM::relative(WallTime::max(), now), "just now");
    EXPECT_EQ(VM::relative(WallTime::min(), now).back(), 'o');
}

TEST(MenuBarViewModel, IconStateForEachState) {
    const struct {
        VM::IndexAvailability state;
        Glyph glyph;
        std::string description;
    } cases[] = {
        {VM::Indexing{3}, Glyph::working, "Ulmaro — indexing"},
        {VM::Ready{3, now}, Glyph::ready, "Ulmaro — ready"},
        {VM::Refreshing{3, 1}, Glyph::ready, "Ulmaro — refreshing index"},
        {VM::Failed{"x"}, Glyph::failed, "Ulmaro — index failed"},
        {VM::Unavailable{"x"}, Glyph::failed, "Ulmaro — index unavailable"},
        {VM::CatalogOnly{1, 2}, Glyph::ready, "Ulmaro — ready"},
        {VM::Loading{}, Glyph::working, "Ulmaro — starting up"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withState(c.state).iconState(),
                  (VM::IconState{"ulmaro.ping", c.glyph, c.description}));
}

TEST(MenuBarViewModel, LoginTitles) {
    using D = LoginItemViewModel::DisplayState;
    const std::pair<D, std::string> cases[] = {
        {D::on, "Start at Login"},
        {D::off, "Start at Login"},
        {D::pendingApproval, "Start at Login (Pending Approval)"},
        {D::unavailable, "Start at Login (Click to Retry)"},
    };
    for (const auto& [state, title] : cases)
        EXPECT_EQ(VM{.startAtLogin = state}.startAtLoginMenuTitle(), title);
}

TEST(MenuBarViewModel, CatalogStatusFirstMatchingRuleWins) {
    const struct {
        bool online, scanning, damaged;
        std::string_view text, symbol;
    } cases[] = {
        {true, true, true, "Damaged", "exclamationmark.triangle"},
        {false, true, true, "Damaged", "exclamationmark.triangle"},
        {false, true, false, "Cataloguing…", "clock"},
        {true, true, false, "Cataloguing…", "clock"},
        {true, false, false, "Connected", "checkmark.circle.fill"},
        {false, false, false, "Offline", "externaldrive"},
    };
    for (const auto& c : cases) {
        const VM::CatalogStatus status{"id", "Drive", c.online, c.scanning, c.damaged};
        EXPECT_EQ(status.statusText(), c.text);
        EXPECT_EQ(status.symbolName(), c.symbol);
    }
}

TEST(MenuBarViewModel, RecentLines) {
    VM viewModel;
    EXPECT_FALSE(viewModel.hasAnyRecents());
    const std::int64_t counts[] = {1, 0, 1234, 2, 3, 4, 5};
    for (std::size_t i = 0; i < std::size(counts); ++i)
        viewModel.recentSearches.push_back({withNumber("q", i), counts[i], now});
    EXPECT_TRUE(viewModel.hasRecentSearches());
    EXPECT_FALSE(viewModel.hasRecentFiles());
    EXPECT_TRUE(viewModel.hasAnyRecents());
    EXPECT_EQ(viewModel.recentSearchLines(),
              (std::vector<VM::RecentSearchLine>{{"q0", "1 result"},
                                                 {"q1", "0 results"},
                                                 {"q2", "1,234 results"},
                                                 {"q3", "2 results"},
                                                 {"q4", "3 results"}}));

    VM files;
    for (int i = 0; i < 9; ++i)
        files.recentFiles.push_back({withNumber("/p/", i), withNumber("n", i), now});
    EXPECT_TRUE(files.hasAnyRecents());
    const auto lines = files.recentFileLines();
    ASSERT_EQ(lines.size(), 9u) << "no limit";
    EXPECT_EQ(lines[8], (VM::RecentFileLine{"n8", "/p/8"}));
}

} // namespace
} // namespace ulmaro
