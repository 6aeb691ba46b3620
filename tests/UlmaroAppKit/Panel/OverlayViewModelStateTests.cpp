#include "OverlayViewModelFixture.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;
using State = OverlayViewModel::ResultState;

const State noIndex = State::failed("No index available. Run \u2018lu scan\u2019 to build one.");

TEST(OverlayViewModelState, StartsFailedWithoutAnEngineAndSetEngineOnlyMendsAFailure) {
    OverlayFixture f(/*withEngine=*/false);
    auto& m = *f.model;
    EXPECT_EQ(m.state.get(), noIndex);
    EXPECT_FALSE(m.isSearchEnabled());
    EXPECT_EQ(m.hotKeyDisplay.get(), "Alt+Space");
    EXPECT_EQ(m.hotkeyLine.get(), "Press Alt+Space anywhere.");

    m.setEngine(f.engine);
    EXPECT_TRUE(m.isSearchEnabled());
    EXPECT_EQ(m.state.get(), State::idle());

    const State shown = State::results({row(1, "/a")}, 1, 0.1);
    m.state.set(shown);
    m.setEngine(std::make_shared<FakeSearchEngine>());
    EXPECT_EQ(m.state.get(), shown);
    EXPECT_EQ(f.engine->searchCount(), 0u) << "a new engine does not rerun";

    m.setEngine(nullptr);
    EXPECT_EQ(m.state.get(), noIndex);
}

TEST(OverlayViewModelState, IndexingStateAndDerivedValues) {
    struct Case {
        State before;
        std::optional<std::int64_t> filesSoFar;
        State after;
    };
    const State results = State::results({row(1, "/a"), row(2, "/b")}, 9, 0.1);
    const std::vector<Case> cases = {
        {State::idle(), 5, State::indexing(5)},
        {results, 7, State::indexing(7)},
        {State::indexing(12), std::nullopt, State::idle()},
        {results, std::nullopt, results},
        {State::failed("x"), std::nullopt, State::failed("x")},
        {State::noMatches(), std::nullopt, State::noMatches()},
    };
    for (const auto& c : cases) {
        OverlayFixture f;
        f.model->state.set(c.before);
        f.model->applyIndexingState(c.filesSoFar);
        EXPECT_EQ(f.model->state.get(), c.after);
    }

    OverlayFixture f;
    f.model->state.set(State::indexing(42));
    EXPECT_EQ(f.model->indexingFilesSoFar(), 42);
    EXPECT_TRUE(f.model->rows().empty());
    f.model->state.set(results);
    EXPECT_EQ(f.model->indexingFilesSoFar(), 0);
    EXPECT_EQ(f.model->rows().size(), 2u);
}

TEST(OverlayViewModelState, BackgroundScanNotifiesOnlyOnAChange) {
    OverlayFixture f;
    NotificationCount count(f.model->backgroundScanFiles);
    for (std::optional<std::int64_t> value :
         {std::optional<std::int64_t>(), std::optional<std::int64_t>(10),
          std::optional<std::int64_t>(10), std::optional<std::int64_t>(11),
          std::optional<std::int64_t>(), std::optional<std::int64_t>()})
        f.model->applyBackgroundScan(value);
    EXPECT_EQ(count.count, 3);
    EXPECT_EQ(f.model->backgroundScanFiles.get(), std::nullopt);
}

TEST(OverlayViewModelState, SmallOperations) {
    OverlayFixture f;
    auto& m = *f.model;

    m.presentFullDiskAccessAskIfNeeded();
    EXPECT_FALSE(m.fdaPromptVisible.get()) << "not a first run";
    m.isFirstRun.set(true);
    m.presentFullDiskAccessAskIfNeeded();
    EXPECT_TRUE(m.fdaPromptVisible.get());
    m.dismissFDAPrompt(true);
    EXPECT_FALSE(m.fdaPromptVisible.get());
    EXPECT_FALSE(m.fdaBannerVisible.get());
    m.presentFullDiskAccessAsk();
    m.dismissFDAPrompt(false);
    EXPECT_FALSE(m.fdaPromptVisible.get());
    EXPECT_TRUE(m.fdaBannerVisible.get());
    m.dismissFDABanner();
    EXPECT_FALSE(m.fdaBannerVisible.get());
    m.setFDABannerVisible(true);
    EXPECT_TRUE(m.fdaBannerVisible.get());

    NotificationCount sheet(m.showingCheatSheet);
    m.hideCheatSheet();
    EXPECT_EQ(sheet.count, 0);
    m.toggleCheatSheet();
    EXPECT_TRUE(m.showingCheatSheet.get());
    m.toggleCheatSheet();
    m.showCheatSheet();
    EXPECT_TRUE(m.showingCheatSheet.get());
    m.hideCheatSheet();
    EXPECT_FALSE(m.showingCheatSheet.get());

    m.setHotKeyStatus({HotKeyStatus::State::registered, {40, KeyCombo::control}});
    EXPECT_EQ(m.hotKeyDisplay.get(), "Ctrl+K");
    EXPECT_EQ(m.hotkeyLine.get(), "Press Ctrl+K anywhere.");
    m.setHotKeyStatus({HotKeyStatus::State::taken});
    EXPECT_EQ(m.hotkeyLine.get(), "Alt+Space is already taken by another app \u2014 open Ulmaro "
                                  "from its tray icon instead.");

    m.setTotalIndexedCount(7);
    EXPECT_EQ(m.totalIndexedCount.get(), 7);
}

TEST(OverlayViewModelState, FirstRunCompletionCountsWithEnglishGroupingWhateverTheLocale) {
    ScopedUserLocale pinned("de_DE");
    OverlayFixture f;
    f.model->completeFirstRunIndexing(1'234'567, {row(3, "/home/u/notes.txt")});
    EXPECT_EQ(f.model->firstRunCompletionMessage.get(), "1,234,567 files indexed.");
    ASSERT_EQ(f.model->suggestions.get().size(), 1u);
    EXPECT_EQ(f.model->suggestions.get()[0].id, 3u);
}

TEST(OverlayViewModelState, ResetClearsTheQueryAndKeepsWhatSurvives) {
    struct Case {
        State before;
        State after;
    };
    const State results = State::results({row(1, "/a"), row(2, "/b")}, 2, 0.1);
    for (const Case& c : std::vector<Case>{{State::indexing(12), State::indexing(12)},
                                           {results, State::idle()},
                                           {State::noMatches(), State::idle()},
                                           {State::failed("x"), State::idle()}}) {
        OverlayFixture f;
        auto& m = *f.model;
        f.showRows({row(1, "/a"), row(2, "/b")}, "ab");
        m.activeFilter.set(QuickFilter(QuickFilter::images));
        m.sortOrder.set(SortOrder::size);
        m.showingCheatSheet.set(true);
        m.offlineNotice.set("Connect Backup to open this.");
        m.extraSelectedIDs.set({2});
        m.copiesContext.set("1 other copy of a");
        m.isBrowsingResults.set(true);
        m.fdaBannerVisible.set(true);
        m.indexGapFolders.set(3);
        m.state.set(c.before);
        m.selectedID.set(1);
        const std::size_t searches = f.engine->searchCount();

        m.reset();
        EXPECT_EQ(m.state.get(), c.after);
        EXPECT_EQ(m.queryText.get(), "");
        EXPECT_EQ(m.selectedID.get(), std::nullopt);
        EXPECT_EQ(m.copiesContext.get(), std::nullopt);
        EXPECT_EQ(m.inlineCompletion.get(), std::nullopt);
        EXPECT_EQ(m.emptySelection.get(), std::nullopt);
        EXPECT_FALSE(m.isBrowsingResults.get());
        EXPECT_FALSE(f.settle->hasPending()) << "the abandoned query is not recorded";

        EXPECT_EQ(m.activeFilter.get(), QuickFilter(QuickFilter::images));
        EXPECT_EQ(m.sortOrder.get(), SortOrder::size);
        EXPECT_TRUE(m.showingCheatSheet.get());
        EXPECT_EQ(m.offlineNotice.get(), "Connect Backup to open this.");
        EXPECT_EQ(m.extraSelectedIDs.get(), std::set<std::uint32_t>{2});
        EXPECT_TRUE(m.fdaBannerVisible.get());
        EXPECT_EQ(m.indexGapFolders.get(), 3);
        EXPECT_EQ(f.engine->searchCount(), searches) << "reset searches nothing";
    }
}

TEST(OverlayViewModelState, ResetDropsTheAnswerUnderWay) {
    OverlayFixture f;
    f.model->updateQuery("ab");
    f.model->reset();
    f.engine->answerLast(resultsOf({row(1, "/a")}));
    f.mainQueue->drain();
    EXPECT_EQ(f.model->state.get(), State::idle());
}

TEST(OverlayViewModelState, AnAnswerAfterTheModelIsGoneIsIgnored) {
    OverlayFixture f;
    f.model->updateQuery("ab");
    std::weak_ptr<OverlayViewModel> weak = f.model;
    f.model.reset();
    EXPECT_TRUE(weak.expired()) << "the engine's completion holds the model weakly";
    f.engine->answerLast(resultsOf({row(1, "/a")}));
    EXPECT_EQ(f.mainQueue->drain(), 1u);
}

} // namespace
} // namespace ulmaro
