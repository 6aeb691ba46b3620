#include "OverlayViewModelFixture.h"

#include <gtest/gtest.h>
#include <thread>

namespace ulmaro {
namespace {

using namespace test;
using State = OverlayViewModel::ResultState;

TEST(OverlayViewModelQuery, WithoutAnEngineNothingChanges) {
    OverlayFixture f(/*withEngine=*/false);
    auto& m = *f.model;
    m.updateQuery("report");
    EXPECT_EQ(m.queryText.get(), "");
    m.queryText.set("typed before the index");
    m.activeFilter.set(QuickFilter(QuickFilter::images));
    m.rerunCurrentQuery();
    EXPECT_EQ(m.queryText.get(), "typed before the index") << "a rerun keeps the text";
    EXPECT_FALSE(f.settle->hasPending());
    EXPECT_EQ(f.settle->scheduleCount(), 0);
}

TEST(OverlayViewModelQuery, OnlyTheNewestSearchsAnswerIsApplied) {
    OverlayFixture f;
    auto& m = *f.model;
    m.updateQuery("r");
    m.updateQuery("re");
    EXPECT_EQ(f.engine->texts(), (std::vector<std::string>{"r", "re"}));

    // Out of order, and from the engine's own thread.
    std::thread([&] { f.engine->answer(1, resultsOf({row(2, "/re")})); }).join();
    std::thread([&] { f.engine->answer(0, resultsOf({row(1, "/r")})); }).join();
    EXPECT_EQ(m.state.get(), State::idle()) << "nothing is applied off the main queue";
    f.mainQueue->drain();
    EXPECT_EQ(m.state.get(), State::results({row(2, "/re")}, 1, 0.01));
    EXPECT_EQ(m.selectedID.get(), 2u);

    // A late first answer after the second search started.
    m.updateQuery("rep");
    m.updateQuery("repo");
    f.engine->answer(2, resultsOf({row(3, "/rep")}));
    f.mainQueue->drain();
    EXPECT_EQ(m.rows().front().id, 2u);
    EXPECT_TRUE(m.resultsAreStale.get());
}

TEST(OverlayViewModelQuery, AnOldEnginesAnswerCarryingTheNewestNumberIsDropped) {
    OverlayFixture f;
    auto& m = *f.model;
    m.updateQuery("a");
    auto newer = std::make_shared<FakeSearchEngine>();
    m.setEngine(newer);
    m.updateQuery("ab");
    // Both engines called their search number 1.
    f.engine->answer(0, resultsOf({row(1, "/old")}));
    f.mainQueue->drain();
    EXPECT_EQ(m.state.get(), State::idle());
    newer->answer(0, resultsOf({row(2, "/new")}));
    f.mainQueue->drain();
    EXPECT_EQ(m.rows().front().path, "/new");
}

TEST(OverlayViewModelQuery, AnEmptyQueryGoesIdleAtOnceAndDropsTheSearchUnderWay) {
    OverlayFixture f;
    auto& m = *f.model;
    f.showRows({row(1, "/a")}, "a");
    m.updateQuery("ab");
    EXPECT_TRUE(m.resultsAreStale.get());
    const int scheduled = f.settle->scheduleCount();

    m.updateQuery("");
    EXPECT_EQ(m.state.get(), State::idle());
    EXPECT_EQ(m.selectedID.get(), std::nullopt);
    EXPECT_FALSE(m.resultsAreStale.get());
    EXPECT_FALSE(f.settle->hasPending());
    EXPECT_EQ(f.settle->scheduleCount(), scheduled);
    EXPECT_EQ(f.engine->searchCount(), 2u) << "an empty text is not searched";

    f.engine->answer(1, resultsOf({row(2, "/ab")}));
    f.mainQueue->drain();
    EXPECT_EQ(m.state.get(), State::idle());
}

TEST(OverlayViewModelQuery, StaleFlagAndFailedOrEmptyAnswers) {
    OverlayFixture f;
    auto& m = *f.model;
    m.updateQuery("a");
    EXPECT_FALSE(m.resultsAreStale.get()) << "only rows on screen can be stale";
    f.engine->answerLast(resultsOf({row(1, "/a")}));
    f.mainQueue->drain();

    m.updateQuery("ab");
    EXPECT_TRUE(m.resultsAreStale.get());
    f.engine->answerLast(SearchOutcome::noMatches());
    f.mainQueue->drain();
    EXPECT_FALSE(m.resultsAreStale.get());
    EXPECT_EQ(m.state.get(), State::noMatches());
    EXPECT_EQ(m.selectedID.get(), std::nullopt);

    f.search("abc", SearchOutcome::failed("broken"));
    EXPECT_EQ(m.state.get(), State::failed("broken"));
}

TEST(OverlayViewModelQuery, EachPropertyNotifiesOnceForAnAnswer) {
    OverlayFixture f;
    auto& m = *f.model;
    f.showRows({row(1, "/old")}, "re");
    m.updateQuery("rep");
    NotificationCount state(m.state);
    NotificationCount selected(m.selectedID);
    NotificationCount completion(m.inlineCompletion);
    NotificationCount stale(m.resultsAreStale);
    f.engine->answerLast(resultsOf({row(7, "/docs/report.pdf"), row(8, "/b")}));
    f.mainQueue->drain();
    EXPECT_EQ(state.count, 1);
    EXPECT_EQ(selected.count, 1);
    EXPECT_EQ(completion.count, 1);
    EXPECT_EQ(stale.count, 1);
    ASSERT_TRUE(m.inlineCompletion.get());
    EXPECT_EQ(m.inlineCompletion.get()->completed, "report.pdf");
}

TEST(OverlayViewModelQuery, ARerunNeverCountsAsDeleting) {
    OverlayFixture f;
    auto& m = *f.model;
    const auto answer = [&] {
        f.engine->answerLast(resultsOf({row(7, "/docs/report.pdf")}));
        f.mainQueue->drain();
    };
    m.updateQuery("repo");
    answer();
    EXPECT_TRUE(m.inlineCompletion.get());
    m.updateQuery("rep");
    answer();
    EXPECT_FALSE(m.inlineCompletion.get()) << "shortened: deleting";
    m.rerunCurrentQuery();
    EXPECT_EQ(f.engine->texts().back(), "rep");
    answer();
    EXPECT_TRUE(m.inlineCompletion.get());
    m.updateQuery("report", /*deleting=*/true);
    answer();
    EXPECT_FALSE(m.inlineCompletion.get()) << "the caller's flag wins";
}

TEST(OverlayViewModelQuery, AQueryChangeClearsTheNoticesAndTheBrowsing) {
    OverlayFixture f;
    auto& m = *f.model;
    m.isBrowsingResults.set(true);
    m.copiesContext.set("1 other copy of a");
    m.offlineNotice.set("Connect Backup to open this.");
    m.emptySelection.set(OverlayViewModel::EmptySelection::search("x"));
    m.updateQuery("a");
    EXPECT_FALSE(m.isBrowsingResults.get());
    EXPECT_EQ(m.copiesContext.get(), std::nullopt);
    EXPECT_EQ(m.offlineNotice.get(), std::nullopt);
    EXPECT_EQ(m.emptySelection.get(), std::nullopt);
}

TEST(OverlayViewModelQuery, SettledSearchesAreRecordedOnlyUnderTheRules) {
    struct Case {
        std::string text;
        SearchOutcome outcome;
        bool recorded;
    };
    const std::vector<Case> cases = {
        {"ab", resultsOf({row(1, "/ab")}, 40), true},   {"a", resultsOf({row(1, "/a")}), false},
        {"  ", resultsOf({row(1, "/a b")}), true},      {" ", resultsOf({row(1, "/a b")}), false},
        {"\xC3\xA9", resultsOf({row(1, "/e")}), false}, // one character, two bytes
        {"ab", SearchOutcome::noMatches(), false},      {"ab", SearchOutcome::failed("x"), false},
    };
    for (const auto& c : cases) {
        OverlayFixture f;
        f.search(c.text, c.outcome);
        EXPECT_EQ(f.engine->texts().back(), c.text) << "blanks are searched too";
        EXPECT_EQ(f.settle->lastDelay(), 1.2);
        f.settle->fire();
        const auto& recent = f.recents->recentSearches();
        ASSERT_EQ(recent.size(), c.recorded ? 1u : 0u) << "'" << c.text << "'";
        if (c.recorded) {
            EXPECT_EQ(recent[0].query, c.text);
            EXPECT_EQ(recent[0].resultCount, c.outcome.resultsIfAny()->totalMatches);
            EXPECT_EQ(recent[0].ranAt, f.clock->now());
        }
    }

    OverlayFixture f;
    f.search("ab", resultsOf({row(1, "/ab")}));
    f.model->queryText.set("abc");
    f.model->considerRecordingSettledSearch("ab");
    EXPECT_TRUE(f.recents->recentSearches().empty()) << "the text moved on";

    f.model->activeFilter.set(QuickFilter(QuickFilter::images));
    f.engine->answerLast(resultsOf({row(1, "/abc.png")}));
    f.mainQueue->drain();
    f.settle->fire();
    ASSERT_EQ(f.recents->recentSearches().size(), 1u);
    EXPECT_EQ(f.recents->recentSearches()[0].query, "abc") << "the typed text, not the filter's";
}

TEST(OverlayViewModelQuery, FilterWritesRerunOnlyOnAChange) {
    OverlayFixture f;
    auto& m = *f.model;
    f.search("cat", resultsOf({row(1, "/cat")}));
    m.activeFilter.set(QuickFilter(QuickFilter::folders));
    EXPECT_EQ(f.engine->texts().back(), "cat folder:");
    m.activeFilter.set(QuickFilter(QuickFilter::folders));
    EXPECT_EQ(f.engine->searchCount(), 2u);
    m.activeFilter.set(std::nullopt);
    EXPECT_EQ(f.engine->texts().back(), "cat");
    m.activeFilter.set(std::nullopt);
    EXPECT_EQ(f.engine->searchCount(), 3u);
    EXPECT_EQ(m.queryText.get(), "cat");
}

TEST(OverlayViewModelQuery, TheSortHookRunsOnlyOnAChangeAndSearchesNothing) {
    OverlayFixture f;
    auto& m = *f.model;
    std::vector<SortOrder> calls;
    m.onSortChanged = [&](SortOrder order) { calls.push_back(order); };
    f.search("cat", resultsOf({row(1, "/cat")}));
    for (SortOrder order : {SortOrder::relevance, SortOrder::size, SortOrder::size, SortOrder::name,
                            SortOrder::relevance})
        m.sortOrder.set(order);
    EXPECT_EQ(calls,
              (std::vector<SortOrder>{SortOrder::size, SortOrder::name, SortOrder::relevance}));
    EXPECT_EQ(f.engine->searchCount(), 1u);
}

TEST(OverlayViewModelQuery, EffectiveQuery) {
    struct Case {
        std::optional<QuickFilter> filter;
        std::string text;
        std::string effective;
    };
    using Q = QuickFilter;
    const std::vector<Case> cases = {
        {std::nullopt, "  cat ", "  cat "},
        {Q::images, "cat", "cat ext:png,jpg,jpeg,heic,gif,webp,svg"},
        {Q::documents, "cat", std::string("cat ") + std::string(Q(Q::documents).query())},
        {Q::code, "cat", std::string("cat ") + std::string(Q(Q::code).query())},
        {Q::folders, "\tcat  ", "cat folder:"},
        {Q::apps, "cat", std::string("cat ") + std::string(Q(Q::apps).query())},
        {Q::big, "cat", "cat size:>100mb"},
        {Q::recent, "cat", std::string("cat ") + std::string(Q(Q::recent).query())},
        {Q::big, " \t", "size:>100mb"},
        {Q::big, "cat | dog", "cat size:>100mb | dog size:>100mb"},
        {Q::folders, "a b|c", "a b folder: | c folder:"},
        {Q::contents, "annual report", "contains:\"annual report\""},
        {Q::contents, " budget ", "contains:budget"},
        {Q::contents, "  ", ""},
    };
    for (const auto& c : cases) {
        OverlayFixture f;
        f.model->queryText.set(c.text);
        f.model->activeFilter.set(c.filter);
        EXPECT_EQ(f.model->effectiveQuery(), c.effective) << c.text;
        if (!c.text.empty() && c.filter) {
            EXPECT_EQ(f.engine->texts().back(), c.effective) << "the filter's rerun sends it";
        }
    }
}

TEST(OverlayViewModelQuery, QueriesThatNeedSizesAndDates) {
    OverlayFixture f;
    auto& m = *f.model;
    m.queryText.set("cat");
    EXPECT_FALSE(m.currentQueryNeedsAttributes());
    m.activeFilter.set(QuickFilter(QuickFilter::big));
    EXPECT_TRUE(m.currentQueryNeedsAttributes());
    m.activeFilter.set(std::nullopt);
    m.queryText.set("a | !dm:today");
    EXPECT_TRUE(m.currentQueryNeedsAttributes());
}

TEST(OverlayViewModelQuery, SavingTheCurrentSearch) {
    OverlayFixture f;
    auto& m = *f.model;
    std::vector<std::string> toggled;
    std::set<std::string> saved;
    m.isQuerySaved = [&](const std::string& q) { return saved.contains(q); };
    m.onToggleSavedQuery = [&](const std::string& q) {
        toggled.push_back(q);
        if (!saved.erase(q)) saved.insert(q);
    };
    int notified = 0;
    auto subscription = m.modelChanged.subscribe([&] { ++notified; });

    m.queryText.set(" \t");
    m.toggleSaveCurrentSearch();
    EXPECT_EQ(notified, 0);
    EXPECT_TRUE(toggled.empty());
    EXPECT_FALSE(m.currentQueryIsSaved());

    m.queryText.set(" cat ");
    m.activeFilter.set(QuickFilter(QuickFilter::folders));
    EXPECT_EQ(m.savableQuery(), "cat folder:");
    EXPECT_FALSE(m.currentQueryIsSaved());
    m.toggleSaveCurrentSearch();
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(toggled, std::vector<std::string>{"cat folder:"});
    EXPECT_TRUE(m.currentQueryIsSaved());
    m.toggleSaveCurrentSearch();
    EXPECT_EQ(notified, 2);
    EXPECT_FALSE(m.currentQueryIsSaved());

    m.isQuerySaved = nullptr;
    m.onToggleSavedQuery = nullptr;
    m.toggleSaveCurrentSearch();
    EXPECT_EQ(notified, 3) << "announced even with no hook";
    EXPECT_FALSE(m.currentQueryIsSaved());
}

} // namespace
} // namespace ulmaro
