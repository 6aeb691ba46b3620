#include "OverlayViewModelFixture.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;
using State = OverlayViewModel::ResultState;
using Rescue = OverlayViewModel::Rescue;

TEST(OverlayViewModelEmptyState, HintCountsWithEnglishGrouping) {
    ScopedUserLocale pinned("de_DE");
    OverlayFixture f(/*withEngine=*/true, /*withRecents=*/false);
    EXPECT_EQ(f.model->emptyStateHint(), "Type to search\u2026");
    f.model->setTotalIndexedCount(1'234'567);
    EXPECT_EQ(f.model->emptyStateHint(), "Type to search 1,234,567 files");
    f.model->totalIndexedCount.set(0);
    EXPECT_EQ(f.model->emptyStateHint(), "Type to search 0 files");
    EXPECT_TRUE(f.model->recentSearches().empty());
    EXPECT_TRUE(f.model->recentFiles().empty());
}

TEST(OverlayViewModelEmptyState, Rescues) {
    struct Case {
        std::string text;
        std::optional<QuickFilter> filter;
        bool contentIndex;
        std::vector<Rescue> offers;
    };
    using Q = QuickFilter;
    const std::vector<Case> cases = {
        {"report", std::nullopt, true, {Rescue::searchInsideFiles, Rescue::searchFolderPaths}},
        {"report", std::nullopt, false, {Rescue::searchFolderPaths}},
        {"report", Q::images, true, {Rescue::searchInsideFiles}},
        {"report", Q::images, false, {}},
        {"report", Q::contents, true, {}},
        {"my report", std::nullopt, true, {Rescue::searchInsideFiles}},
        {"my report", std::nullopt, false, {}},
        {"  notes\t", std::nullopt, false, {Rescue::searchFolderPaths}},
        {"r", std::nullopt, true, {}},
        {" r ", std::nullopt, true, {}},
        {"ext:pdf", std::nullopt, true, {}},
        {"/etc", std::nullopt, true, {}},
        {"a|b", std::nullopt, true, {}},
        {"!tmp", std::nullopt, true, {}},
    };
    for (const auto& c : cases) {
        OverlayFixture f;
        f.model->hasContentIndex.set(c.contentIndex);
        f.model->activeFilter.set(c.filter);
        f.search(c.text, SearchOutcome::noMatches());
        EXPECT_EQ(f.model->rescues(), c.offers) << c.text;
    }

    OverlayFixture f;
    f.model->hasContentIndex.set(true);
    f.search("report", resultsOf({row(1, "/report")}));
    EXPECT_TRUE(f.model->rescues().empty()) << "only without matches";
}

TEST(OverlayViewModelEmptyState, ApplyingRescues) {
    OverlayFixture f;
    auto& m = *f.model;
    f.search("  notes ", SearchOutcome::noMatches());
    m.applyRescue(Rescue::searchFolderPaths);
    EXPECT_EQ(m.queryText.get(), "path:notes");
    EXPECT_EQ(f.engine->texts().back(), "path:notes");

    f.search("annual report", SearchOutcome::noMatches());
    m.applyRescue(Rescue::searchInsideFiles);
    EXPECT_EQ(m.activeFilter.get(), QuickFilter(QuickFilter::contents));
    EXPECT_EQ(m.queryText.get(), "annual report");
    EXPECT_EQ(f.engine->texts().back(), "contains:\"annual report\"");
}

TEST(OverlayViewModelEmptyState, CoverageWarningUnderAQueryWithoutMatches) {
    ScopedUserLocale pinned("en_US");
    TempDir home;
    ScopedEnv env("HOME", home.path().string());
    const std::string h = home.path().string();

    OverlayFixture f;
    auto& m = *f.model;
    m.indexGapFolders.set(1234);
    m.indexGapPaths.set({h + "/.cache/x/y", "/srv/data/deep/er", h + "/.cache/x/z", "/root"});
    f.search("ab", resultsOf({row(1, "/ab")}));
    EXPECT_EQ(m.coverageWarning(), std::nullopt) << "never beside results";
    EXPECT_EQ(m.coverageExamples(), std::nullopt);

    f.search("abc", SearchOutcome::noMatches());
    EXPECT_EQ(m.coverageWarning(), "1,234 folders couldn't be read");
    EXPECT_EQ(m.coverageExamples(), "~/.cache/x \u00B7 /srv/data \u00B7 +1 more place");

    m.indexGapFolders.set(1);
    EXPECT_EQ(m.coverageWarning(), "1 folder couldn't be read");
    m.indexGapFolders.set(0);
    EXPECT_EQ(m.coverageWarning(), std::nullopt);
    EXPECT_EQ(m.coverageExamples(), std::nullopt);
}

TEST(OverlayViewModelEmptyState, OfflineNoticeText) {
    EXPECT_EQ(OverlayViewModel::offlineNoticeText(row(1, "/x", offlineCatalog("Backup"))),
              "Connect Backup to open this.");
    EXPECT_EQ(OverlayViewModel::offlineNoticeText(
                  row(1, "/x", RowOrigin::fromCatalog("c", "Photos 2019", true))),
              "Connect Photos 2019 to open this.");
    EXPECT_EQ(OverlayViewModel::offlineNoticeText(row(1, "/x")), "Connect the drive to open this.");
}

TEST(OverlayViewModelEmptyState, RecentItemsAndSuggestionsOpenWithoutRanking) {
    OverlayFixture f;
    auto& m = *f.model;
    f.recents->recordSearch("invoice", 3, f.clock->now());
    f.recents->recordOpened("/home/u/a.txt", "a.txt", f.clock->now());
    f.events.clear();
    ASSERT_EQ(m.recentSearches().size(), 1u);
    ASSERT_EQ(m.recentFiles().size(), 1u);

    f.clock->advance(Seconds(5));
    m.selectRecentFile(m.recentFiles()[0]);
    EXPECT_EQ(f.events,
              (std::vector<std::string>{"file /home/u/a.txt", "dismiss", "open /home/u/a.txt"}));
    EXPECT_EQ(f.recents->recentFiles()[0].openedAt, f.clock->now());

    f.events.clear();
    m.openSuggestion(row(4, "/home/u/b.pdf"));
    EXPECT_EQ(f.events,
              (std::vector<std::string>{"file /home/u/b.pdf", "dismiss", "open /home/u/b.pdf"}));
    EXPECT_EQ(f.recents->recentFiles()[0].name, "b.pdf");

    m.selectRecentSearch("invoice");
    EXPECT_EQ(m.queryText.get(), "invoice");
    EXPECT_EQ(f.engine->texts().back(), "invoice");
}

} // namespace
} // namespace ulmaro
