#include "OverlayViewFixture.h"
#include "UlmaroAppKit/UI/Panel/IndexingStatusView.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/SearchField.h"
#include "support/GoldenImage.h"

#include <QApplication>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::OverlayViewUnderTest;

QImage render(OverlayView& view) {
    QApplication::setCursorFlashTime(0); // a caret that never blinks
    view.show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QImage image = test::grabForGolden(view);
    view.hide();
    return image;
}

TEST(OverlayViewGolden, States) {
    const struct Case {
        const char* name;
        bool engine;
        std::function<void(OverlayViewUnderTest&)> setup;
    } cases[] = {
        {"overlay-preparing", false, [](auto& t) { t.model->applyIndexingState(48213); }},
        {"overlay-idle", true, [](auto& t) { t.model->setTotalIndexedCount(1234567); }},
        {"overlay-results-filter-newest", true,
         [](auto& t) {
             t.model->sortOrder.set(SortOrder::dateModified);
             t.model->activeFilter.set(QuickFilter::documents);
             t.showRows({test::row(1, "/home/ana/Documents/report-2024.pdf"),
                         test::row(2, "/home/ana/Documents/Reports/summary.odt"),
                         test::row(3, "/home/ana/Downloads/report (1).docx")},
                        "report", 3);
         }},
        {"indexing-status", true,
         [](auto& t) {
             t.model->applyIndexingState(48213);
             t.view->template findChild<IndexingStatusView*>()->holdPhase(0.3);
         }},
        {"status-failed", true,
         [](auto& t) {
             t.model->state.set(OverlayResultState::failed("The index could not be read."));
         }},
        {"first-run-intro", true, [](auto& t) { t.model->isFirstRun.set(true); }},
        {"first-run-completion", true,
         [](auto& t) {
             t.model->isFirstRun.set(true);
             // The line the program writes for the shortcut it holds.
             t.model->setHotKeyStatus(HotKeyStatus{});
             RankedRow folder = test::row(1, "/home/ana/Projects/garden-planner");
             folder.isDirectory = true;
             t.model->completeFirstRunIndexing(
                 48213,
                 {folder, test::row(2, "/home/ana/Documents/Archive/2019/Quarterly/Reports/"
                                       "Finance/Final/Approved/q3-summary-with-appendices.pdf")});
         }},
        {"attribute-notice", true,
         [](auto& t) {
             t.model->attributeDataIncomplete.set(true);
             t.showRows({test::row(1, "/home/ana/Videos/holiday-2024.mkv")}, "size:>1gb", 1);
         }},
        {"access-prompt-banner", true,
         [](auto& t) {
             t.model->fdaPromptVisible.set(true);
             t.model->fdaBannerVisible.set(true);
         }},
        {"overlay-cheatsheet", true, [](auto& t) { t.model->showingCheatSheet.set(true); }},
        {"overlay-onboarding", true, [](auto& t) { t.onboarding->setShowing(true); }},
        {"results-previews-offline", true,
         [](auto& t) {
             RankedRow notes = test::row(1, "/home/ana/Notes/budget-meeting.md");
             notes.matchRanges = {{0, 6}};
             notes.contentMatch =
                 ContentSearcher::Hit{notes.path, 42, "budget review moved to Friday"};
             RankedRow plan = test::row(2, "/home/ana/Documents/plan-budget.txt");
             plan.matchRanges = {{5, 11}};
             plan.contentMatch =
                 ContentSearcher::Hit{plan.path, 7, "  the budget for 2025 is final"};
             RankedRow archived = test::row(3, "/media/ana/Backup/2019/Caf\xC3\xA9 budget.ods",
                                            test::offlineCatalog("Backup"));
             archived.matchRanges = {{3, 4}, {6, 12}};
             t.showRows({notes, plan, archived}, "budget", 3);
         }},
        {"no-matches-offers-coverage", true,
         [](auto& t) {
             t.model->hasContentIndex.set(true);
             t.model->indexGapFolders.set(2);
             t.model->indexGapPaths.set({"/srv/private", "/var/lib/secret"});
             t.search("quarterly", SearchOutcome::noMatches());
         }},
        {"empty-state-recents", true,
         [](auto& t) {
             t.recents->recordSearch("invoice", 12, WallTime{});
             t.recents->recordSearch("ext:pdf tax", 1, WallTime{});
             t.recents->recordOpened("/home/ana/Documents/lease.pdf", "lease.pdf", WallTime{});
             t.model->emptySelection.set(OverlayViewModel::EmptySelection::search("ext:pdf tax"));
         }},
        {"field-completion", true,
         [](auto& t) {
             SearchField& field = *t.view->header()->field();
             for (const char* typed : {"r", "re", "rep"}) {
                 QTest::keyClicks(&field, QString::fromLatin1(typed).right(1));
                 t.engine->answerLast(test::resultsOf(
                     {test::row(1, "/home/ana/Documents/report.pdf"),
                      test::row(2, "/home/ana/Documents/Reports/summary-report.odt")}));
                 t.mainQueue->drain();
             }
         }},
        {"copies-banner", true,
         [](auto& t) {
             t.showRows(
                 {test::row(1, "/home/ana/a/report.pdf"), test::row(2, "/home/ana/b/report.pdf")},
                 "report", 2);
             t.model->copiesContext.set("2 other copies of report.pdf");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OverlayViewUnderTest t(c.engine);
        c.setup(t);
        EXPECT_TRUE(test::matchesGolden(render(*t.view), QString::fromUtf8(c.name)));
    }
}

} // namespace
} // namespace ulmaro
