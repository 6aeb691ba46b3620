// The whole panel driven by keys over a real index: the real engine on its own threads, the
// real view model, view and panel, wired the way the shell wires them.
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualSettleScheduler.h"
#include "UlmaroAppKit/Fakes/RecordingResultActions.h"
#include "UlmaroAppKit/Panel/FrontmostAppTracking.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/Search/FixtureIndex.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CapsuleButton.h"
#include "UlmaroAppKit/UI/Panel/FilterBar.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"
#include "UlmaroAppKit/UI/Panel/ResultArea.h"
#include "UlmaroAppKit/UI/Panel/ResultListModel.h"
#include "UlmaroAppKit/UI/Panel/ResultListView.h"
#include "UlmaroAppKit/UI/Panel/ResultRowView.h"
#include "UlmaroAppKit/UI/Panel/SearchField.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"

#include <QAbstractButton>
#include <QMenu>
#include <QTest>
#include <QTextLayout>
#include <ctime>
#include <gtest/gtest.h>
#include <set>

namespace ulmaro {
namespace {

std::shared_ptr<const IndexStore> fixtureStore(test::FixtureIndex& index) {
    for (int i = 0; i < 240; ++i)
        index.add("/home/ana/Notes/note-" + std::to_string(i) + ".txt");
    for (int i = 0; i < 30; ++i)
        index.add("/home/ana/Pictures/holiday-" + std::to_string(i) + ".jpg");
    index.add("/home/ana/Pictures/holiday-plan.txt");
    for (const char* child : {"src/main.cpp", "src/panel.cpp", "docs/guide.md", "README.md"})
        index.add(std::string("/home/ana/Projects/ulmaro/") + child);
    index.add("/usr/share/applications/editor.desktop", {.flags = RecordFlags::isApp});
    index.add("/home/ana/caf\xE9-menu.txt");
    index.add("/home/ana/menu-plan.txt");
    index.add("/home/ana/Notes/menu-ideas.txt");
    index.add("/home/ana/Videos/trip.mp4",
              {.size = 5'000'000, .mtime = static_cast<std::uint32_t>(std::time(nullptr) - 3600)});
    return index.open();
}

/// The shell's part: the panel, its controller and the hooks of the view model.
struct Shell {
    test::FixtureIndex index;
    ThreadSerialQueueFactory queues;
    std::shared_ptr<QtMainQueue> mainQueue = std::make_shared<QtMainQueue>();
    std::shared_ptr<SystemClock> clock = std::make_shared<SystemClock>();
    std::shared_ptr<InMemorySettingsStore> settings = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<RecentsStore> recents = std::make_shared<RecentsStore>(
        settings, "app.ulmaro.recentSearches", "app.ulmaro.recentFiles");
    std::shared_ptr<RecordingResultActions> actions = std::make_shared<RecordingResultActions>();
    std::shared_ptr<const IndexStore> store = fixtureStore(index);
    std::vector<std::string> events;
    std::set<std::string> saved;
    std::shared_ptr<OverlayViewModel> model;
    std::shared_ptr<OverlayPanel> panel = std::make_shared<OverlayPanel>();
    SettingsPanelPositionStore positions{*settings};
    std::unique_ptr<OverlayPanelController> controller;
    OverlayView* view = nullptr;

    std::shared_ptr<SearchEngine> engine(SortOrder order) {
        return SearchEngine::make({.store = store, .sortOrder = order}, queues, clock);
    }

    Shell() {
        model = OverlayViewModel::create(
            engine(SortOrder::relevance),
            [this](const std::string& path) { events.push_back("open " + path); }, false, recents,
            std::make_shared<ManualSettleScheduler>(), 1.2, actions, mainQueue, clock);
        controller = std::make_unique<OverlayPanelController>(
            panel, std::make_shared<NoFrontmostAppTracking>(),
            std::shared_ptr<PanelPositionStoring>(std::shared_ptr<void>(), &positions), *mainQueue);
        recents->onChange = [this] {
            if (!recents->recentFiles().empty())
                events.push_back("recent " + recents->recentFiles().front().path);
        };
        model->dismissBeforeOpen = [this] {
            events.push_back("hide");
            if (panel->isVisible()) panel->orderOut();
        };
        model->onOpenedPath = [this](const std::string& path) {
            events.push_back("frecency " + path);
        };
        model->isQuerySaved = [this](const std::string& q) { return saved.count(q) > 0; };
        model->onToggleSavedQuery = [this](const std::string& q) {
            if (!saved.erase(q)) saved.insert(q);
        };
        model->onSortChanged = [this](SortOrder order) {
            model->setEngine(engine(order));
            model->rerunCurrentQuery();
        };
        panel->previewURLProvider = [this] { return model->selectedPath(); };
        panel->onQuickLookMove = [this](int step) { model->moveSelection(step); };
        panel->isBrowsingResults = [this] { return model->isBrowsingResults.get(); };
        panel->onFilterDigit = [this](char digit) {
            const auto filter = QuickFilter::forDigit(std::string(1, digit));
            if (!filter) return;
            model->activeFilter.set(model->activeFilter.get() == filter
                                        ? std::nullopt
                                        : std::optional<QuickFilter>(filter));
        };
        panel->onFindCopies = [this] { model->findCopiesOfSelected(); };
        panel->onCopyPath = [this] { return model->copySelectedPath(); };
        panel->onToggleCheatSheet = [this] { model->toggleCheatSheet(); };
        panel->onOpenTerminal = [this] { model->openTerminalAtSelected(); };
        panel->fieldHasSelectedText = [] { return false; };
        panel->onReveal = [this] {
            if (model->revealSelected()) dismiss();
        };
        OverlayView::Callbacks callbacks;
        callbacks.onDismiss = [this] { dismiss(); };
        view = new OverlayView(model, nullptr, callbacks);
        panel->setContent(view);
    }
    ~Shell() { panel->orderOut(); }

    void dismiss() {
        events.push_back("dismiss");
        controller->dismiss(true);
        model->reset();
    }
    void summon() {
        controller->show(false);
        QCoreApplication::processEvents();
        panel->focusSearchField();
    }
    SearchField& field() const { return *view->header()->field(); }
    ResultListView& list() const { return *view->resultArea()->list(); }
    /// Waits for the engine's answer to reach the panel.
    bool settled() {
        return QTest::qWaitFor(
            [this] {
                return !model->resultsAreStale.get() && !model->queryText.get().empty() &&
                       !model->state.get().isIdle();
            },
            5000);
    }
    void type(const char* text) {
        QTest::keyClicks(&field(), text);
        ASSERT_TRUE(settled()) << text;
        QCoreApplication::processEvents();
    }
};

TEST(PanelEndToEnd, KeysDriveTheWholePanel) {
    Shell shell;
    shell.summon();
    ASSERT_TRUE(shell.panel->isVisible());

    // A word: rows, the pill, the first row selected. (Typed from its start, the word would
    // be completed inline, and the hint would stand in the pill's place.)
    shell.type("oliday");
    const auto rows = shell.model->rows();
    ASSERT_GE(rows.size(), 30u);
    EXPECT_EQ(shell.list().rows().rows().size(), rows.size());
    EXPECT_TRUE(
        shell.view->header()->pillText().startsWith(QString::number(rows.size()) + " results · "));
    EXPECT_EQ(shell.model->selectedID.get(), rows[0].id);

    // Down, down, up.
    QTest::keyClick(&shell.field(), Qt::Key_Down);
    QTest::keyClick(&shell.field(), Qt::Key_Down);
    QTest::keyClick(&shell.field(), Qt::Key_Up);
    EXPECT_EQ(shell.model->selectedID.get(), rows[1].id);
    EXPECT_TRUE(shell.model->isBrowsingResults.get());

    // Ctrl+C copies the selected path.
    QTest::keyClick(&shell.field(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(shell.actions->copied, std::vector<std::string>{rows[1].path});

    // Ctrl+1: the images chip turns on and the query runs again with it.
    QTest::keyClick(&shell.field(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(shell.model->activeFilter.get(), QuickFilter::images);
    ASSERT_TRUE(shell.settled());
    EXPECT_EQ(shell.view->filterBar()->chip(QuickFilter::images)->look().fill, Theme::accent(0.85));
    for (const auto& row : shell.model->rows())
        EXPECT_TRUE(row.name.ends_with(".jpg")) << row.name;
    QTest::keyClick(&shell.field(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(shell.model->activeFilter.get(), std::nullopt);
    ASSERT_TRUE(shell.settled());

    // "Move to Trash" from a row's menu: recorded, and the row leaves the list.
    const RankedRow doomed = shell.model->rows()[2];
    QMenu* menu = shell.list().menuFor(2);
    for (QAction* action : menu->actions())
        if (action->text() == "Move to Trash") action->trigger();
    EXPECT_EQ(shell.actions->trashed, std::vector<std::string>{doomed.path});
    for (const auto& row : shell.list().rows().rows())
        EXPECT_NE(row.id, doomed.id);

    // Escape hides the panel and empties it.
    QTest::keyClick(&shell.field(), Qt::Key_Escape);
    EXPECT_FALSE(shell.panel->isVisible());
    EXPECT_EQ(shell.model->queryText.get(), "");
}

TEST(PanelEndToEnd, ReturnOpensTheRawPathAndHides) {
    Shell shell;
    shell.summon();
    shell.type("menu");
    const auto rows = shell.model->rows();
    ASSERT_EQ(rows.size(), 3u);
    bool rawByte = false;
    for (const auto& row : rows)
        rawByte = rawByte || row.path == "/home/ana/caf\xE9-menu.txt";
    EXPECT_TRUE(rawByte) << "paths keep their bytes";

    QTest::keyClick(&shell.field(), Qt::Key_Down);
    shell.events.clear();
    QTest::keyClick(&shell.field(), Qt::Key_Return);
    const std::string& path = rows[1].path;
    EXPECT_EQ(shell.events, (std::vector<std::string>{"recent " + path, "frecency " + path, "hide",
                                                      "open " + path, "dismiss"}));
    EXPECT_FALSE(shell.panel->isVisible());
    EXPECT_EQ(shell.model->queryText.get(), "");
    EXPECT_EQ(shell.field().text(), "");
    ASSERT_FALSE(shell.recents->recentSearches().empty());
    EXPECT_EQ(shell.recents->recentSearches().front().query, "menu");
}

TEST(PanelEndToEnd, AQueryWithoutMatchesOffersAFolderSearch) {
    Shell shell;
    shell.summon();
    shell.type("qqzzxx");
    ASSERT_TRUE(shell.model->state.get().isNoMatches());
    const auto buttons = shell.view->resultArea()->stateView()->findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 1u);
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(shell.model->queryText.get(), "path:qqzzxx");
    ASSERT_TRUE(shell.settled());
    EXPECT_EQ(shell.field().text(), "path:qqzzxx");
}

TEST(PanelEndToEnd, FiltersAloneEmphasiseNothingInTheNames) {
    Shell shell;
    shell.summon();
    // The bold runs of every listed name, as the row view lays them out.
    const auto boldRuns = [&] {
        std::vector<std::vector<std::pair<int, int>>> all;
        for (const RankedRow& row : shell.list().rows().rows()) {
            std::vector<std::pair<int, int>> runs;
            for (const auto& range : ResultRowView::nameLayout(row, QFont(), 600)->formats())
                runs.emplace_back(range.start, range.length);
            all.push_back(std::move(runs));
        }
        return all;
    };
    using Runs = std::vector<std::vector<std::pair<int, int>>>;

    shell.type("ext:jpg");
    ASSERT_EQ(shell.list().rows().rows().size(), 30u);
    EXPECT_EQ(boldRuns(), Runs(30));

    shell.field().clear();
    shell.type("size:>1mb dm:<7d path:home");
    ASSERT_EQ(shell.list().rows().rows().size(), 1u);
    EXPECT_EQ(boldRuns(), Runs(1));

    // A word beside the filter: only the word.
    shell.field().clear();
    shell.type("oliday ext:jpg");
    ASSERT_EQ(shell.list().rows().rows().size(), 30u);
    EXPECT_EQ(boldRuns(), Runs(30, {{1, 6}}));
}

} // namespace
} // namespace ulmaro
