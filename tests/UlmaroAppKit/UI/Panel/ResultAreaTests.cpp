#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/Panel/OverlayViewModelFixture.h"
#include "UlmaroAppKit/Panel/PanelMenu.h"
#include "UlmaroAppKit/Panel/ResultAreaRules.h"
#include "UlmaroAppKit/UI/Panel/CapsuleButton.h"
#include "UlmaroAppKit/UI/Panel/IndexingStatusView.h"
#include "UlmaroAppKit/UI/Panel/PanelMenuPopup.h"
#include "UlmaroAppKit/UI/Panel/RecentRowViews.h"
#include "UlmaroAppKit/UI/Panel/ResultArea.h"
#include "UlmaroAppKit/UI/Panel/ResultListModel.h"
#include "UlmaroAppKit/UI/Panel/ResultListView.h"
#include "UlmaroAppKit/UI/Panel/StatusLine.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::row;

struct AreaUnderTest : test::OverlayFixture {
    int dismissals = 0;
    int previews = 0;
    std::unique_ptr<ResultArea> area;

    explicit AreaUnderTest(bool withRecents = true) : OverlayFixture(true, withRecents) {
        area = std::make_unique<ResultArea>(
            model, std::make_shared<IconResolver>(std::make_shared<QtIconSource>()),
            [this] { ++dismissals; }, [this] { ++previews; });
        area->resize(680, 300);
    }
    void show() {
        area->show();
        QCoreApplication::processEvents();
    }
    std::vector<RankedRow> manyRows(int count, int previewEvery = 0) {
        std::vector<RankedRow> rows;
        for (int i = 0; i < count; ++i) {
            RankedRow r = row(std::uint32_t(i + 1), "/data/file" + std::to_string(i) + ".txt");
            if (previewEvery > 0 && i % previewEvery == 0)
                r.contentMatch = ContentSearcher::Hit{r.path, 12, "a line that matched"};
            rows.push_back(std::move(r));
        }
        return rows;
    }
};

struct Expected {
    const char* view; // "list", "status", "indexing", "recents", "nothing"
    const char* text = "";
    const char* symbol = "";
    int searchRows = 0;
    int fileRows = 0;
};

TEST(ResultArea, StateTable) {
    const struct Case {
        const char* name;
        std::function<void(AreaUnderTest&)> setup;
        Expected expected;
        bool withRecents = true;
    } cases[] = {
        {"indexing", [](auto& t) { t.model->applyIndexingState(12); }, {"indexing"}},
        {"failed",
         [](auto& t) { t.model->state.set(OverlayResultState::failed("Disk gone")); },
         {"status", "Disk gone", "exclamationmark.triangle"}},
        {"no matches, no offers",
         [](auto& t) { t.search("x", SearchOutcome::noMatches()); },
         {"status", "No matches", "questionmark.circle"}},
        {"no matches with offers",
         [](auto& t) { t.search("report", SearchOutcome::noMatches()); },
         {"status", "No file is named that", "questionmark.circle"}},
        {"results", [](auto& t) { t.showRows({row(1, "/a/b.txt")}, "b"); }, {"list"}},
        {"idle on a first run", [](auto& t) { t.model->isFirstRun.set(true); }, {"nothing"}},
        {"idle without recents",
         [](auto&) {},
         {"status", "Type to search…", "sparkle.magnifyingglass"},
         false},
        {"idle with an empty store",
         [](auto& t) { t.model->setTotalIndexedCount(1234); },
         {"status", "Type to search 1,234 files", "sparkle.magnifyingglass"}},
        {"idle with opened files only",
         [](auto& t) { t.recents->recordOpened("/a/notes.txt", "notes.txt", WallTime{}); },
         {"recents", "", "", 0, 1}},
        {"idle with searches only",
         [](auto& t) {
             t.recents->recordSearch("tax", 3, WallTime{});
             t.recents->recordSearch("invoice", 9, WallTime{});
         },
         {"recents", "", "", 2, 0}},
        {"a first run with recents takes no height",
         [](auto& t) {
             t.recents->recordSearch("tax", 3, WallTime{});
             t.recents->recordOpened("/a/notes.txt", "notes.txt", WallTime{});
             t.model->isFirstRun.set(true);
         },
         {"nothing"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AreaUnderTest t(c.withRecents);
        c.setup(t);
        t.show(); // the recent lists are read again each time the panel shows
        const std::string view = c.expected.view;
        EXPECT_EQ(t.area->list()->isVisibleTo(t.area.get()), view == "list");
        QWidget* state = t.area->stateView();
        EXPECT_EQ(state == nullptr, view == "list");
        if (view == "status") {
            // The line itself, or the first of the no-match block.
            auto* line = qobject_cast<StatusLine*>(state);
            if (!line) line = state->findChild<StatusLine*>();
            ASSERT_NE(line, nullptr);
            EXPECT_EQ(line->text().toStdString(), c.expected.text);
            EXPECT_EQ(line->systemImage(), c.expected.symbol);
            EXPECT_EQ(line->detail(), std::nullopt);
            EXPECT_EQ(line->layout()->contentsMargins(), QMargins(16, 18, 16, 18));
        } else if (view == "indexing") {
            auto* indexing = qobject_cast<IndexingStatusView*>(state);
            ASSERT_NE(indexing, nullptr);
            EXPECT_EQ(indexing->filesSoFar(), 12);
        } else if (view == "nothing") {
            EXPECT_EQ(state->maximumHeight(), 0);
        } else if (view == "recents") {
            EXPECT_EQ(state->findChildren<RecentFileRowView*>().size(), c.expected.fileRows);
            EXPECT_EQ(state->findChildren<RecentSearchRowView*>().size(), c.expected.searchRows);
            // A section without entries has no header either.
            QStringList headers;
            for (const QLabel* label : state->findChildren<QLabel*>())
                headers << label->text();
            EXPECT_EQ(headers.contains("RECENT SEARCHES"), c.expected.searchRows > 0);
            EXPECT_EQ(headers.contains("RECENTLY OPENED"), c.expected.fileRows > 0);
        }
    }
}

TEST(ResultArea, NoMatchesOffersCoverageAndNotice) {
    AreaUnderTest t;
    t.model->hasContentIndex.set(true);
    t.model->indexGapFolders.set(3);
    t.model->indexGapPaths.set({"/srv/a", "/srv/b"});
    t.model->attributeDataIncomplete.set(true);
    t.search(" report ", SearchOutcome::noMatches());
    const auto lines = t.area->stateView()->findChildren<StatusLine*>();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0]->text(), "No file is named that");
    EXPECT_EQ(lines[1]->systemImage(), "exclamationmark.triangle");
    EXPECT_EQ(lines[1]->layout()->contentsMargins().top(), 8);
    EXPECT_TRUE(lines[1]->detail().has_value());
    EXPECT_EQ(ResultAreaRules::rescueTitle(OverlayViewModel::Rescue::searchInsideFiles, " report "),
              "Look inside documents for “report”");
    EXPECT_EQ(ResultAreaRules::rescueTitle(OverlayViewModel::Rescue::searchFolderPaths, "report"),
              "Look for a folder called “report”");

    // The folder offer searches the text as a path.
    auto buttons = t.area->stateView()->findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 2);
    QTest::mouseClick(buttons[1], Qt::LeftButton);
    EXPECT_EQ(t.engine->texts().back(), "path:report");

    // A size term with sizes still unknown brings the notice under the list.
    t.showRows({row(1, "/a/big.iso")}, "size:>1gb");
    EXPECT_NE(t.area->listNotice(), nullptr);
    t.showRows({row(1, "/a/big.iso")}, "big");
    EXPECT_EQ(t.area->listNotice(), nullptr);
}

// Each no-match outcome rebuilds the block: its title and links follow the newest query,
// and a link that no longer applies is gone, never left dead.
TEST(ResultArea, TheNoMatchBlockFollowsTheNewestQuery) {
    AreaUnderTest t;
    t.model->hasContentIndex.set(true);
    t.show();
    auto shown = [&] {
        QStringList texts;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const auto* line : t.area->stateView()->findChildren<StatusLine*>())
            texts << line->text();
        for (const auto* button : t.area->stateView()->findChildren<CapsuleButton*>())
            texts << button->look().label;
        return texts.join(" | ").toStdString();
    };
    t.search("zebra", SearchOutcome::noMatches());
    EXPECT_EQ(shown(), "No file is named that | Look inside documents for “zebra” | "
                       "Look for a folder called “zebra”");
    t.search("zebra quartet", SearchOutcome::noMatches());
    EXPECT_EQ(shown(), "No file is named that | Look inside documents for “zebra quartet”");
    t.search("x", SearchOutcome::noMatches());
    EXPECT_EQ(shown(), "No matches");

    // The content index going away takes its offer with it, with no new outcome.
    t.search("quartet", SearchOutcome::noMatches());
    t.model->hasContentIndex.set(false);
    EXPECT_EQ(shown(), "No file is named that | Look for a folder called “quartet”");
    // And a link pressed acts on what it says.
    const auto buttons = t.area->stateView()->findChildren<CapsuleButton*>();
    ASSERT_EQ(buttons.size(), 1);
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(t.engine->texts().back(), "path:quartet");
}

TEST(ResultArea, Banners) {
    AreaUnderTest t;
    EXPECT_EQ(t.area->copiesBanner(), nullptr);
    t.model->copiesContext.set("3 other copies of report.pdf");
    t.model->offlineNotice.set("Connect Backup to open this.");
    ASSERT_NE(t.area->copiesBanner(), nullptr);
    ASSERT_NE(t.area->offlineBanner(), nullptr);
    auto texts = [](QWidget* w) {
        QStringList all;
        for (auto* label : w->findChildren<QLabel*>())
            if (!label->text().isEmpty()) all << label->text();
        return all;
    };
    EXPECT_EQ(texts(t.area->copiesBanner()),
              (QStringList{"3 other copies of report.pdf", "type to search again"}));
    EXPECT_EQ(texts(t.area->offlineBanner()), QStringList{"Connect Backup to open this."});
    auto* layout = static_cast<QVBoxLayout*>(t.area->layout());
    EXPECT_EQ(layout->indexOf(t.area->copiesBanner()), 0);
    EXPECT_EQ(layout->indexOf(t.area->offlineBanner()), 1);
    t.model->copiesContext.set(std::nullopt);
    EXPECT_EQ(t.area->copiesBanner(), nullptr);
    EXPECT_EQ(layout->indexOf(t.area->offlineBanner()), 0);
}

TEST(ResultArea, RowAndListHeights) {
    AreaUnderTest t;
    t.show();
    t.showRows(t.manyRows(10));
    ResultListView& list = *t.area->list();
    EXPECT_EQ(list.height(), int(OverlayLayout::resultsHeight(10, 0)));
    EXPECT_EQ(list.verticalScrollBar()->maximum(), 0) << "ten rows fit without scrolling";

    t.showRows(t.manyRows(4, 2));
    EXPECT_EQ(list.height(), int(OverlayLayout::resultsHeight(4, 2)));
    const QModelIndex first = list.model()->index(0, 0);
    const QModelIndex second = list.model()->index(1, 0);
    EXPECT_EQ(list.visualRect(first).height(), 8 + 52);
    EXPECT_EQ(list.visualRect(second).height(), 2 + 36);
    EXPECT_EQ(list.verticalScrollBar()->maximum(), 0);

    t.showRows(t.manyRows(40));
    EXPECT_EQ(list.height(), int(OverlayLayout::resultsMaxHeight));
}

TEST(ResultArea, OneModelResetPerOutcome) {
    AreaUnderTest t;
    t.show();
    QSignalSpy resets(&t.area->list()->rows(), &QAbstractItemModel::modelReset);
    t.showRows(t.manyRows(5));
    EXPECT_EQ(resets.count(), 1);
    t.model->moveSelection(1);
    t.model->updateQuery("qq"); // stale rows stay as they are until the answer
    EXPECT_EQ(resets.count(), 1);
    t.engine->answerLast(test::resultsOf(t.manyRows(3)));
    t.mainQueue->drain();
    EXPECT_EQ(resets.count(), 2);
    EXPECT_EQ(RecentSearchRowView::countText(1), "1 result");
    EXPECT_EQ(RecentSearchRowView::countText(0), "0 results");
    EXPECT_EQ(RecentSearchRowView::countText(12), "12 results");
}

TEST(ResultArea, StaleRowsDimAndReturn) {
    AreaUnderTest t;
    t.show();
    t.showRows({row(1, "/a/one"), row(2, "/a/two")}, "o");
    ResultListView& list = *t.area->list();
    EXPECT_EQ(list.opacity(), 1.0);
    t.model->updateQuery("on");
    EXPECT_TRUE(list.isAnimating());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list.isAnimating(); }, 2000));
    EXPECT_DOUBLE_EQ(list.opacity(), 0.45);
    t.engine->answerLast(test::resultsOf({row(1, "/a/one")}));
    t.mainQueue->drain();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list.isAnimating(); }, 2000));
    EXPECT_DOUBLE_EQ(list.opacity(), 1.0);
}

TEST(ResultArea, SelectionScrollsIntoView) {
    AreaUnderTest t;
    t.show();
    auto rows = t.manyRows(40);
    t.showRows(rows);
    ResultListView& list = *t.area->list();
    auto shown = [&](int i) {
        const QRect item = list.visualRect(list.model()->index(i, 0));
        return item.top() >= 0 && item.bottom() < list.viewport()->height();
    };
    ASSERT_FALSE(shown(30));
    t.model->selectedID.set(rows[30].id);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list.isAnimating(); }, 2000));
    EXPECT_TRUE(shown(30));
    // Least scrolling: the row lies at the bottom edge.
    EXPECT_EQ(list.visualRect(list.model()->index(30, 0)).bottom(), list.viewport()->height() - 1);
    t.model->selectedID.set(rows[0].id);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list.isAnimating(); }, 2000));
    EXPECT_EQ(list.verticalScrollBar()->value(), 0);
}

TEST(ResultArea, ClickSelectsOpensAndDismisses) {
    AreaUnderTest t;
    t.show();
    t.showRows({row(1, "/a/one"), row(2, "/a/two")}, "o");
    ResultListView& list = *t.area->list();
    const QRect second = list.visualRect(list.model()->index(1, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(t.model->selectedID.get(), 2u);
    EXPECT_EQ(t.events.back(), "open /a/two");
    EXPECT_EQ(t.dismissals, 1);

    // An offline row does not open: the panel stays.
    t.showRows({row(3, "/media/x", test::offlineCatalog())}, "x");
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualRect(list.model()->index(0, 0)).center());
    EXPECT_EQ(t.dismissals, 1);
    EXPECT_TRUE(t.model->offlineNotice.get().has_value());
}

std::vector<std::string> titles(const std::vector<PanelMenuItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items)
        out.push_back(item.isDivider() ? "|" : item.title);
    return out;
}

TEST(ResultArea, ResultMenuItemsActOnTheirRow) {
    AreaUnderTest t;
    t.showRows({row(1, "/a/one.txt"), row(2, "/a/two.txt")}, "t");
    const RankedRow second = t.model->rows()[1];
    const auto items = PanelMenu::forResult(t.model, second, [&] { ++t.previews; });
    EXPECT_EQ(titles(items),
              (std::vector<std::string>{"Open", "Reveal in File Manager", "Preview", "Other Copies",
                                        "|", "Copy Path", "Copy Name", "|", "Move to Trash"}));
    auto run = [&](const char* title) {
        t.model->selectedID.set(1u);
        for (const auto& item : items)
            if (item.title == title) item.action();
        EXPECT_EQ(t.model->selectedID.get(), 2u) << title;
    };
    run("Reveal in File Manager");
    EXPECT_EQ(t.actions->revealed, std::vector<std::string>{"/a/two.txt"});
    run("Preview");
    EXPECT_EQ(t.previews, 1);
    run("Other Copies");
    ASSERT_EQ(t.engine->copiesRequests().size(), 1u);
    EXPECT_EQ(t.engine->copiesRequests()[0].path, "/a/two.txt");
    run("Copy Path");
    run("Copy Name");
    EXPECT_EQ(t.actions->copied, (std::vector<std::string>{"/a/two.txt", "two.txt"}));
    run("Open");
    EXPECT_EQ(t.events.back(), "open /a/two.txt");
    EXPECT_EQ(t.dismissals, 0) << "the menu's Open leaves hiding to the model's hook";
    t.model->selectedID.set(1u);
    items.back().action();
    EXPECT_EQ(t.actions->trashed, std::vector<std::string>{"/a/two.txt"});
    EXPECT_EQ(t.model->rows().size(), 1u);

    // The list shows the same items as a menu.
    QMenu* menu = t.area->list()->menuFor(0);
    QStringList shown;
    for (QAction* action : menu->actions())
        shown << (action->isSeparator() ? QStringLiteral("|") : action->text());
    EXPECT_EQ(shown.size(), 9);
    EXPECT_EQ(shown[4], "|");
    EXPECT_TRUE(menu->actions()[0]->shortcut().isEmpty());
}

TEST(ResultArea, RecentFileMenuItemsActOnTheirFile) {
    AreaUnderTest t;
    const RecentFileEntry entry{"/a/notes.txt", "notes.txt", WallTime{}};
    t.recents->recordOpened(entry.path, entry.name, entry.openedAt);
    t.events.clear();
    const auto items = PanelMenu::forRecentFile(
        t.model, entry, [&] { ++t.previews; }, [&] { ++t.dismissals; });
    EXPECT_EQ(titles(items),
              (std::vector<std::string>{"Open", "Reveal in File Manager", "Preview",
                                        "Open Terminal Here", "|", "Copy Path", "Copy Name"}));
    auto run = [&](const char* title) {
        for (const auto& item : items)
            if (item.title == title) item.action();
    };
    run("Reveal in File Manager");
    EXPECT_EQ(t.actions->revealed, std::vector<std::string>{"/a/notes.txt"});
    EXPECT_EQ(t.model->emptySelection.get(),
              OverlayViewModel::EmptySelection::file("/a/notes.txt"));
    run("Preview");
    EXPECT_EQ(t.previews, 1);
    run("Open Terminal Here");
    EXPECT_EQ(t.actions->terminalFolders, std::vector<std::string>{"/a"});
    run("Copy Name");
    EXPECT_EQ(t.actions->copied, std::vector<std::string>{"notes.txt"});
    run("Open");
    EXPECT_EQ(t.events,
              (std::vector<std::string>{"file /a/notes.txt", "dismiss", "open /a/notes.txt"}))
        << "recorded, hidden and opened, without frecency";
    EXPECT_EQ(t.dismissals, 1);
}

TEST(ResultArea, AnOpenedRecentFileComesFirstNextTime) {
    AreaUnderTest t;
    t.clock->advance(Seconds(1));
    t.recents->recordOpened("/a/old.txt", "old.txt", t.clock->now());
    t.clock->advance(Seconds(1));
    t.recents->recordOpened("/a/new.txt", "new.txt", t.clock->now());
    t.show();
    auto rows = t.area->stateView()->findChildren<RecentFileRowView*>();
    ASSERT_EQ(rows.size(), 2);
    ASSERT_EQ(rows[1]->entry().path, "/a/old.txt");
    t.clock->advance(Seconds(1));
    t.events.clear();
    QTest::mouseClick(rows[1], Qt::LeftButton);
    EXPECT_EQ(t.events,
              (std::vector<std::string>{"file /a/old.txt", "dismiss", "open /a/old.txt"}));
    EXPECT_EQ(t.dismissals, 1);
    t.area->hide();
    t.show();
    rows = t.area->stateView()->findChildren<RecentFileRowView*>();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]->entry().path, "/a/old.txt");
}

TEST(ResultArea, DragOffersTheFileByItsBytes) {
    test::TempDir dir;
    const std::string odd = (dir.path() / "caf\xE9 \x01%.txt").string();
    std::ofstream(odd) << "x";
    ResultListModel model;
    model.setRows({row(1, odd), row(2, (dir.path() / "gone.txt").string())});
    std::unique_ptr<QMimeData> present(model.mimeData({model.index(0)}));
    const QByteArray uri = present->data(QStringLiteral("text/uri-list"));
    ASSERT_TRUE(uri.startsWith("file:///"));
    ASSERT_TRUE(uri.endsWith("\r\n"));
    EXPECT_EQ(QByteArray::fromPercentEncoding(uri.mid(7).chopped(2)).toStdString(), odd);
    EXPECT_FALSE(uri.contains(' '));
    std::unique_ptr<QMimeData> missing(model.mimeData({model.index(1)}));
    EXPECT_TRUE(missing->formats().isEmpty());
}

} // namespace
} // namespace ulmaro
