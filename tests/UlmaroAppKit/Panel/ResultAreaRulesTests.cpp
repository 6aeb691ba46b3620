#include "UlmaroAppKit/Panel/IndexingSweep.h"
#include "UlmaroAppKit/Panel/OverlayViewModelFixture.h"
#include "UlmaroAppKit/Panel/ResultAreaRules.h"

#include <functional>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Line = ResultAreaRules::StatusLineContent;

TEST(ResultAreaRules, StateToStatusLines) {
    const auto none = std::nullopt;
    const struct Case {
        const char* name;
        std::function<void(test::OverlayFixture&)> setup;
        std::vector<Line> lines;
        bool withRecents = true;
    } cases[] = {
        {"indexing shows its own view", [](auto& t) { t.model->applyIndexingState(12); }, {}},
        {"failed",
         [](auto& t) { t.model->state.set(OverlayResultState::failed("Disk gone")); },
         {{"Disk gone", "exclamationmark.triangle", none, 18}}},
        {"idle, no store",
         [](auto&) {},
         {{"Type to search…", "sparkle.magnifyingglass", none, 18}},
         false},
        {"idle, empty store",
         [](auto& t) { t.model->setTotalIndexedCount(1200000); },
         {{"Type to search 1,200,000 files", "sparkle.magnifyingglass", none, 18}}},
        {"idle with recents", [](auto& t) { t.recents->recordSearch("tax", 3, WallTime{}); }, {}},
        {"idle on a first run", [](auto& t) { t.model->isFirstRun.set(true); }, {}},
        {"no matches, no offers",
         [](auto& t) { t.search("x", SearchOutcome::noMatches()); },
         {{"No matches", "questionmark.circle", none, 18}}},
        {"no matches with offers",
         [](auto& t) { t.search("report", SearchOutcome::noMatches()); },
         {{"No file is named that", "questionmark.circle", none, 18}}},
        {"no matches with a coverage warning",
         [](auto& t) {
             t.model->indexGapFolders.set(2);
             t.model->indexGapPaths.set({"/srv/a", "/srv/b"});
             t.search("x", SearchOutcome::noMatches());
         },
         {{"No matches", "questionmark.circle", none, 18},
          {"", "exclamationmark.triangle", "", 8}}},
        {"results", [](auto& t) { t.showRows({test::row(1, "/a/b.txt")}, "b"); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::OverlayFixture t(true, c.withRecents);
        c.setup(t);
        auto lines = ResultAreaRules::statusLines(*t.model);
        ASSERT_EQ(lines.size(), c.lines.size());
        // The coverage texts belong to the view model; only their place is checked here.
        if (lines.size() == 2) {
            EXPECT_EQ(lines[1].text, *t.model->coverageWarning());
            EXPECT_EQ(lines[1].detail, t.model->coverageExamples());
            lines[1].text.clear();
            lines[1].detail = "";
        }
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(ResultAreaRules, AttributeNoticeFollowsSizeAndDateTermsAnywhere) {
    const struct {
        const char* query;
        bool incomplete;
        bool shown;
    } cases[] = {
        {"size:>100mb", true, true},     {"!size:>100mb", true, true},
        {"report | dm:<7d", true, true}, {"report !dm:today", true, true},
        {"report", true, false},         {"contains:report", true, false},
        {"size:>100mb", false, false},   {"report | dm:<7d", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        test::OverlayFixture t;
        t.model->attributeDataIncomplete.set(c.incomplete);
        t.model->updateQuery(c.query);
        EXPECT_EQ(ResultAreaRules::showsAttributeNotice(*t.model), c.shown);
    }
}

TEST(IndexingSweep, RunsFromBeyondTheLeadingEdgeToBeyondTheTrailingOneAndStartsAgain) {
    const struct {
        double elapsed, phase;
    } cases[] = {{0, -1.0}, {-3, -1.0}, {0.6, 0.175}, {1.2, -1.0}, {1.8, 0.175}, {1.199999, 1.35}};
    for (const auto& c : cases)
        EXPECT_NEAR(IndexingSweep::phase(c.elapsed), c.phase, 1e-4) << c.elapsed;
}

} // namespace
} // namespace ulmaro
