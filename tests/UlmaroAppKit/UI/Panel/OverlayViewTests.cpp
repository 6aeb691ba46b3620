#include "OverlayViewFixture.h"
#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CapsuleButton.h"
#include "UlmaroAppKit/UI/Panel/FilterBar.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PreparingView.h"
#include "UlmaroAppKit/UI/Panel/ResultArea.h"
#include "UlmaroAppKit/UI/Panel/SearchField.h"
#include "UlmaroAppKit/UI/Panel/StatusLine.h"

#include <QLabel>
#include <QMenu>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace ulmaro {
namespace {

using test::OverlayViewUnderTest;
using Place = OverlayView::Place;
using Body = OverlaySections::Body;

// New views show, and layouts settle, in posted events.
void settleLayout() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

InlineCompletion completionOf(std::string typed, std::string completed) {
    InlineCompletion completion;
    completion.typed = std::move(typed);
    completion.completed = std::move(completed);
    completion.rowID = 7;
    completion.rowName = completion.completed;
    completion.rowPath = "/home/a/" + completion.completed;
    return completion;
}

TEST(OverlayView, PresenceFollowsTheModel) {
    const std::set<Place> searchBase{Place::divider, Place::results};
    auto with = [&](std::initializer_list<Place> more) {
        std::set<Place> places = searchBase;
        places.insert(more);
        return places;
    };
    const struct Case {
        const char* name;
        bool engine;
        std::function<void(OverlayViewUnderTest&)> setup;
        Body body;
        std::set<Place> shown;
    } cases[] = {
        {"idle", true, [](auto&) {}, Body::search, searchBase},
        {"blank query shows the bar", true, [](auto& t) { t.model->updateQuery("  "); },
         Body::search, with({Place::filterBar})},
        {"a filter without text shows the bar", true,
         [](auto& t) { t.model->activeFilter.set(QuickFilter::images); }, Body::search,
         with({Place::filterBar})},
        {"first build without an engine prepares",
         false,
         [](auto& t) { t.model->applyIndexingState(42); },
         Body::preparing,
         {Place::preparing}},
        {"no index at all is a failure, not a promise", false, [](auto&) {}, Body::search,
         searchBase},
        {"onboarding",
         true,
         [](auto& t) { t.onboarding->setShowing(true); },
         Body::onboarding,
         {Place::onboarding}},
        {"onboarding wins over preparing",
         false,
         [](auto& t) {
             t.model->applyIndexingState(42);
             t.onboarding->setShowing(true);
         },
         Body::onboarding,
         {Place::onboarding}},
        {"cheat sheet covers the results",
         true,
         [](auto& t) { t.model->showingCheatSheet.set(true); },
         Body::search,
         {Place::divider, Place::cheatSheet}},
        {"first run introduction", true, [](auto& t) { t.model->isFirstRun.set(true); },
         Body::search, with({Place::firstRunIntro})},
        {"first run inside the onboarding session shows no notice", true,
         [](auto& t) {
             t.onboarding->firstRunSession = true;
             t.model->isFirstRun.set(true);
         },
         Body::search, searchBase},
        {"first run completed", true,
         [](auto& t) {
             t.model->isFirstRun.set(true);
             t.model->completeFirstRunIndexing(1234, {});
         },
         Body::search, with({Place::firstRunCompletion})},
        {"access prompt and banner", true,
         [](auto& t) {
             t.model->fdaPromptVisible.set(true);
             t.model->fdaBannerVisible.set(true);
         },
         Body::search, with({Place::fdaPrompt, Place::fdaBanner})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OverlayViewUnderTest t(c.engine);
        c.setup(t);
        settleLayout();
        EXPECT_EQ(t.view->sections().body, c.body);
        for (int p = 0; p < int(Place::count); ++p) {
            const auto place = Place(p);
            if (place == Place::header) continue;
            EXPECT_EQ(t.shows(place), c.shown.count(place) > 0) << "place " << p;
        }
        // The header is always in the tree; outside the search layout it has no height and
        // lets clicks through.
        QWidget* header = t.view->header()->parentWidget();
        const bool collapsed = c.body != Body::search;
        EXPECT_EQ(header->height() == 0, collapsed);
        EXPECT_EQ(header->testAttribute(Qt::WA_TransparentForMouseEvents), collapsed);
        EXPECT_EQ(t.view->width(), 680);
    }
}

TEST(OverlayView, FailureIsSaidInTheResultArea) {
    OverlayViewUnderTest t(false);
    auto* line = qobject_cast<StatusLine*>(t.view->resultArea()->stateView());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text().toStdString(), OverlayViewModel::noIndexMessage);
    EXPECT_EQ(line->systemImage(), "exclamationmark.triangle");

    // An engine arriving later turns the panel into the idle search layout.
    t.model->applyIndexingState(10);
    EXPECT_EQ(t.view->sections().body, Body::preparing);
    t.model->setEngine(t.engine);
    EXPECT_EQ(t.view->sections().body, Body::search);
    EXPECT_TRUE(t.view->header()->field()->isEnabled());
}

TEST(OverlayView, HeaderTexts) {
    const struct Case {
        const char* name;
        std::function<void(OverlayViewUnderTest&)> setup;
        const char* hint;
        const char* scan;
        const char* pill;
    } cases[] = {
        {"idle", [](auto&) {}, "", "", ""},
        {"one result", [](auto& t) { t.showRows({test::row(1, "/a/one.txt")}, "txt"); }, "", "",
         "1 result · 10ms"},
        {"many results", [](auto& t) { t.showRows({test::row(1, "/a/b")}, "b", 245); }, "", "",
         "245 results · 10ms"},
        {"stale while typing on",
         [](auto& t) {
             t.showRows({test::row(1, "/a/b")}, "b");
             t.model->updateQuery("bc");
         },
         "", "", "Searching…"},
        {"background rescan", [](auto& t) { t.model->applyBackgroundScan(12345); }, "",
         "Indexing 12k", ""},
        {"completion replaces status and pill",
         [](auto& t) {
             t.showRows({test::row(1, "/a/b")}, "b");
             t.model->applyBackgroundScan(1500000);
             t.model->inlineCompletion.set(completionOf("rep", "report.pdf"));
         },
         "— Open", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OverlayViewUnderTest t;
        c.setup(t);
        OverlayHeader& header = *t.view->header();
        EXPECT_EQ(header.hintText().toStdString(), c.hint);
        EXPECT_EQ(header.backgroundScanText().toStdString(), c.scan);
        EXPECT_EQ(header.pillText().toStdString(), c.pill);
        EXPECT_EQ(header.hintIcon()->isVisibleTo(&header), *c.hint != 0);
    }
}

TEST(OverlayView, StarAppearsForASavableQueryAndFollowsAPress) {
    const struct Case {
        const char* query;
        std::optional<QuickFilter> filter;
        bool star;
    } cases[] = {{"   ", std::nullopt, false},
                 {"", QuickFilter::images, true},
                 {"", QuickFilter::contents, false},
                 {" report ", std::nullopt, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        OverlayViewUnderTest t;
        t.model->activeFilter.set(c.filter);
        t.model->updateQuery(c.query);
        ASSERT_NE(t.view->filterBar(), nullptr);
        EXPECT_EQ(t.view->filterBar()->star()->isVisibleTo(t.view->filterBar()), c.star);
    }

    OverlayViewUnderTest t;
    t.model->updateQuery("report");
    CapsuleButton* star = t.view->filterBar()->star();
    EXPECT_EQ(star->look().symbol, "star");
    EXPECT_EQ(star->toolTip(), "Save this search");
    QTest::mouseClick(star, Qt::LeftButton);
    EXPECT_EQ(t.saved, std::set<std::string>{"report"});
    EXPECT_EQ(star->look().symbol, "star.fill");
    EXPECT_EQ(star->look().content, Theme::yellow());
    EXPECT_EQ(star->toolTip(), "Remove from Saved Searches");
    QTest::mouseClick(star, Qt::LeftButton);
    EXPECT_TRUE(t.saved.empty());
    EXPECT_EQ(star->look().symbol, "star");
}

TEST(OverlayView, ChipsSetTheFilterAndShowIt) {
    OverlayViewUnderTest t;
    t.model->updateQuery("x");
    FilterBar& bar = *t.view->filterBar();
    auto fills = [&] {
        std::vector<bool> active;
        for (auto value : QuickFilter::allCases) {
            const auto& look = bar.chip(value)->look();
            EXPECT_TRUE(look.fill == Theme::accent(0.85) || look.fill == Theme::primaryTint(0.07));
            active.push_back(look.fill == Theme::accent(0.85) && look.content == Theme::white(1));
        }
        return active;
    };
    EXPECT_EQ(bar.chip(QuickFilter::documents)->look().label, "Docs");
    EXPECT_EQ(bar.chip(QuickFilter::contents)->toolTip(),
              "Search the text INSIDE documents, not their names");
    EXPECT_EQ(fills(), std::vector<bool>(8, false));

    QTest::mouseClick(bar.chip(QuickFilter::code), Qt::LeftButton);
    EXPECT_EQ(t.model->activeFilter.get(), QuickFilter::code);
    EXPECT_EQ(fills(), (std::vector<bool>{false, false, true, false, false, false, false, false}));
    QTest::mouseClick(bar.chip(QuickFilter::big), Qt::LeftButton);
    EXPECT_EQ(t.model->activeFilter.get(), QuickFilter::big);
    EXPECT_EQ(fills(), (std::vector<bool>{false, false, false, false, false, true, false, false}));
    QTest::mouseClick(bar.chip(QuickFilter::big), Qt::LeftButton);
    EXPECT_EQ(t.model->activeFilter.get(), std::nullopt);
    EXPECT_EQ(fills(), std::vector<bool>(8, false));
    // Each change reran the query with the filter's token.
    EXPECT_EQ(t.engine->texts().back(), "x");
}

TEST(OverlayView, SortMenuMarksTheCurrentOrder) {
    OverlayViewUnderTest t;
    std::vector<SortOrder> asked;
    t.model->onSortChanged = [&](SortOrder order) { asked.push_back(order); };
    t.model->updateQuery("x");
    FilterBar& bar = *t.view->filterBar();
    const auto actions = bar.sortMenu()->actions();
    ASSERT_EQ(actions.size(), 4);
    auto checked = [&] {
        std::vector<QString> marked;
        for (QAction* action : actions)
            if (!action->icon().isNull()) marked.push_back(action->text());
        return marked;
    };
    EXPECT_EQ(actions[0]->text(), "Best match");
    EXPECT_EQ(checked(), std::vector<QString>{"Best match"});
    EXPECT_EQ(bar.sortButton()->look().fill, Theme::primaryTint(0.07));

    actions[2]->trigger();
    EXPECT_EQ(t.model->sortOrder.get(), SortOrder::dateModified);
    EXPECT_EQ(asked, std::vector<SortOrder>{SortOrder::dateModified});
    EXPECT_EQ(checked(), std::vector<QString>{"Newest"});
    EXPECT_EQ(bar.sortButton()->look().label, "Newest");
    EXPECT_EQ(bar.sortButton()->look().fill, Theme::accent(0.85));
    EXPECT_EQ(bar.sortButton()->look().content, Theme::white(1));

    actions[0]->trigger();
    EXPECT_EQ(checked(), std::vector<QString>{"Best match"});
    EXPECT_EQ(bar.sortButton()->look().fill, Theme::primaryTint(0.07));
}

TEST(OverlayView, PreparingCountsUpWhileOnScreen) {
    OverlayViewUnderTest t(false);
    t.model->applyIndexingState(0);
    PreparingView* preparing = t.view->preparingView();
    ASSERT_NE(preparing, nullptr);
    EXPECT_EQ(preparing->countText(), "0 files found so far");
    t.view->show();
    t.model->applyIndexingState(1200000);
    EXPECT_TRUE(preparing->isCounting());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !preparing->isCounting(); }, 2000));
    EXPECT_EQ(preparing->countText(), "1,200,000 files found so far");
}

TEST(OverlayView, PanelFollowsTheViewsHeight) {
    OverlayViewUnderTest t;
    OverlayPanel panel;
    OverlayView* view = t.view.release();
    panel.setContent(view);
    panel.show();
    settleLayout();
    const double idle = panel.frame().height;
    EXPECT_EQ(idle, view->height());
    t.showRows({test::row(1, "/a/b"), test::row(2, "/a/c"), test::row(3, "/a/d")}, "b");
    settleLayout();
    const double header = view->header()->height();
    EXPECT_EQ(panel.frame().height, view->height());
    // Header, divider, filter bar and three rows.
    EXPECT_EQ(view->height(), header + 1 + view->filterBar()->parentWidget()->height() +
                                  OverlayLayout::resultsHeight(3, 0));
    panel.hide();
    EXPECT_EQ(panel.frame().width, 680);
}

TEST(OverlayView, FieldKeysDriveTheModel) {
    OverlayViewUnderTest t;
    SearchField& field = *t.view->header()->field();
    QTest::keyClicks(&field, "re");
    EXPECT_EQ(t.engine->texts(), (std::vector<std::string>{"r", "re"}));
    EXPECT_EQ(t.model->queryText.get(), "re");

    t.model->showingCheatSheet.set(true);
    QTest::keyClick(&field, Qt::Key_Escape);
    EXPECT_FALSE(t.model->showingCheatSheet.get());
    EXPECT_EQ(t.dismissals, 0);
    QTest::keyClick(&field, Qt::Key_Escape);
    EXPECT_EQ(t.dismissals, 1);

    t.showRows({test::row(1, "/a/one"), test::row(2, "/a/two")}, "o");
    QTest::keyClick(&field, Qt::Key_Down);
    EXPECT_EQ(t.model->selectedID.get(), 2u);
    QTest::keyClick(&field, Qt::Key_Up);
    EXPECT_EQ(t.model->selectedID.get(), 1u);
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(t.events.back(), "open /a/one");
    EXPECT_EQ(t.dismissals, 2);
    EXPECT_EQ(field.text(), "o") << "Return adds no line";
}

TEST(OverlayView, FieldRevealsWithAltReturnAndTrashesWithCtrlBackspace) {
    OverlayViewUnderTest t;
    SearchField& field = *t.view->header()->field();
    QTest::keyClicks(&field, "two words");
    t.engine->answerLast(test::resultsOf({test::row(1, "/a/one"), test::row(2, "/a/two"),
                                          test::row(3, "/mnt/b", test::offlineCatalog())}));
    t.mainQueue->drain();

    QTest::keyClick(&field, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(t.actions->revealed, std::vector<std::string>{"/a/one"});
    EXPECT_EQ(t.dismissals, 1);

    QTest::keyClick(&field, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(t.actions->trashed, std::vector<std::string>{"/a/one"});
    EXPECT_EQ(t.model->rows().size(), 2u);
    EXPECT_EQ(field.text(), "two words") << "a trashed row leaves the text alone";

    // A Trash that fails, and an offline row: the field deletes the text before the caret.
    t.actions->trashSucceeds = false;
    QTest::keyClick(&field, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(t.actions->trashed.size(), 2u);
    EXPECT_EQ(field.text(), "");
    t.actions->trashSucceeds = true;
    QTest::keyClicks(&field, "two words");
    t.engine->answerLast(test::resultsOf({test::row(3, "/mnt/b", test::offlineCatalog())}));
    t.mainQueue->drain();
    t.model->selectedID.set(3);
    QTest::keyClick(&field, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(t.actions->trashed.size(), 2u) << "an offline row is never trashed";
    EXPECT_EQ(field.text(), "");
}

} // namespace
} // namespace ulmaro
