// The folder browser offscreen, over the browser model on catalogs written to disk and a
// recording workspace, driven by clicks on its buttons and rows.
#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/UI/Catalogs/BrowserTextsFixture.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogBreadcrumbBar.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogBrowserView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogInfoPanel.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "support/CatalogIndexFixture.h"
#include "support/GoldenImage.h"

#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::described;
using ::testing::ElementsAre;
using Kind = CatalogInfo::Kind;

/// "Backup", a drive recorded at /media/me/Backup and mounted there: DCIM/100CANON with 600
/// photos, an empty folder and a note.
class CatalogBrowserViewTest : public ::testing::Test {
protected:
    CatalogBrowserViewTest() {
        for (int i = 1; i <= 600; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/IMG_%04d.JPG", i);
            index.add(root + "/DCIM/100CANON" + name, {}, 2'400'000 + std::uint64_t(i),
                      1'700'000'000);
        }
        const std::string deep = root + "/DCIM/100CANON/Holiday 2023/Lisbon/Day 3 \u2014 Sintra";
        index.add(deep + "/IMG_9001.JPG", {}, 3'100'000, 1'700'000'000);
        index.add(deep + "/IMG_9002.JPG", {}, 2'900'000, 0);
        catalogs.write("backup", index, described(Kind::drive, root, "Backup", "B1"));
        mount(root);
        model.select("backup");
        view = std::make_unique<CatalogBrowserView>(model, workspace, test::browserTexts());
        view->onMessage = [this](const std::string& m) { messages.push_back(m); };
        view->resize(900, 520);
        view->show();
    }

    /// The drive where it is now (none: unplugged), as the window passes it on.
    void mount(std::optional<std::string> at) {
        catalogs.unmountAll();
        if (at) catalogs.mount("B1", *at);
        model.libraryChanged();
        if (view) view->refreshInfo();
    }

    QListView& list() { return view->list(); }
    CatalogBreadcrumbBar& bar() { return view->breadcrumbBar(); }
    std::vector<QString> crumbTexts() {
        std::vector<QString> result;
        for (auto* crumb : bar().crumbs())
            result.push_back(crumb->text());
        return result;
    }
    int rowNamed(const QString& name) {
        for (int row = 0; row < list().model()->rowCount(); ++row)
            if (list().model()->index(row, 0).data().toString() == name) return row;
        return -1;
    }
    void doubleClick(const QString& name) { view->activateRow(rowNamed(name)); }
    std::optional<int> selectedRow() {
        const auto rows = list().selectionModel()->selectedRows();
        if (rows.isEmpty()) return std::nullopt;
        return rows.front().row();
    }

    const std::string root = "/media/me/Backup";
    test::Catalogs catalogs;
    test::Catalogs::Index index{false};
    std::uint32_t dcim = index.folder(root + "/DCIM");
    std::uint32_t camera = index.folder(root + "/DCIM/100CANON");
    std::uint32_t empty = index.folder(root + "/Empty");
    std::uint32_t notes = index.add(root + "/notes.txt", {}, 12'000, 1'700'000'000);
    CatalogBrowserModel model{catalogs.library};
    RecordingWorkspace workspace;
    std::vector<std::string> messages;
    std::unique_ptr<CatalogBrowserView> view;
};

TEST_F(CatalogBrowserViewTest, TwoPanesOfTheirWidths) {
    EXPECT_EQ(view->orientation(), Qt::Horizontal);
    EXPECT_EQ(view->sizes().at(1), 250);
    EXPECT_GE(view->widget(0)->minimumWidth(), 420);
    EXPECT_EQ(view->widget(1)->minimumWidth(), 220);
    EXPECT_EQ(view->widget(1)->maximumWidth(), 320);
    EXPECT_TRUE(list().uniformItemSizes());
}

TEST_F(CatalogBrowserViewTest, AtTheRootTheBackButtonIsDisabledAndTheTrailIsTheNameAlone) {
    EXPECT_FALSE(bar().backButton().isEnabled());
    EXPECT_THAT(crumbTexts(), ElementsAre("Backup"));
    EXPECT_EQ(bar().separatorCount(), 0);
    EXPECT_EQ(list().model()->rowCount(), 3);
    EXPECT_EQ(list().model()->index(0, 0).data().toString(), "DCIM");
    EXPECT_LT(bar().crumbs().back()->geometry().right(), bar().width() / 2) << "kept left";
}

TEST_F(CatalogBrowserViewTest, WalkingDownAndBackUpTheTrail) {
    doubleClick("DCIM");
    doubleClick("100CANON");
    EXPECT_THAT(crumbTexts(), ElementsAre("Backup", "DCIM", "100CANON"));
    EXPECT_EQ(bar().separatorCount(), 2);
    EXPECT_TRUE(bar().backButton().isEnabled());
    EXPECT_EQ(list().model()->rowCount(), 601);
    EXPECT_EQ(selectedRow(), std::nullopt) << "opening a folder selects nothing";

    QTest::mouseClick(&bar().backButton(), Qt::LeftButton);
    EXPECT_THAT(crumbTexts(), ElementsAre("Backup", "DCIM"));
    EXPECT_EQ(selectedRow(), rowNamed("100CANON")) << "the folder just left";
    EXPECT_EQ(model.highlighted.get(), camera);

    doubleClick("100CANON");
    list().setCurrentIndex(list().model()->index(3, 0));
    QTest::mouseClick(bar().crumbs()[2], Qt::LeftButton);
    EXPECT_EQ(model.trail.get(), (std::vector<std::uint32_t>{dcim, camera})) << "the last crumb";
    EXPECT_EQ(selectedRow(), std::nullopt);
    QTest::mouseClick(bar().crumbs()[0], Qt::LeftButton);
    EXPECT_TRUE(model.trail.get().empty());
    EXPECT_EQ(selectedRow(), std::nullopt);
    EXPECT_FALSE(bar().backButton().isEnabled());
}

TEST_F(CatalogBrowserViewTest, TheSelectionIsTheModelsHighlightBothWays) {
    const QRect second = list().visualRect(list().model()->index(1, 0));
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(model.highlighted.get(), empty);

    // A revealed item deep in a long folder is selected and scrolled into view.
    doubleClick("DCIM");
    doubleClick("100CANON");
    const auto deep = model.items.get()[540].id;
    model.highlighted.set(deep);
    EXPECT_EQ(selectedRow(), 540);
    const QRect shown = list().visualRect(list().model()->index(540, 0));
    EXPECT_TRUE(list().viewport()->rect().contains(shown)) << shown.y();
    model.highlighted.set(std::nullopt);
    EXPECT_EQ(selectedRow(), std::nullopt);
}

TEST_F(CatalogBrowserViewTest, AnOfflineCatalogBrowsesButOpensNothing) {
    mount(std::nullopt);
    doubleClick("DCIM");
    EXPECT_EQ(model.trail.get(), std::vector<std::uint32_t>{dcim}) << "folders open offline";
    model.goTo(0);
    doubleClick("notes.txt");
    EXPECT_THAT(messages, ElementsAre("Connect Backup to open this."));
    EXPECT_TRUE(workspace.opened.empty());
    EXPECT_TRUE(model.trail.get().empty()) << "the listing stays";

    const QRect row = list().visualRect(list().model()->index(rowNamed("notes.txt"), 0));
    std::unique_ptr<QMenu> menu(view->menuAt(row.center()));
    ASSERT_TRUE(menu);
    std::vector<QString> titles;
    for (QAction* action : menu->actions())
        titles.push_back(action->text());
    EXPECT_THAT(titles, ElementsAre("Open", "Copy Path"));
    menu->actions().back()->trigger();
    EXPECT_THAT(workspace.copied, ElementsAre("/media/me/Backup/notes.txt"));

    EXPECT_EQ(view->menuAt(QPoint(10, list().viewport()->height() - 5)), nullptr)
        << "empty space below the rows";
}

TEST_F(CatalogBrowserViewTest, MenuEntriesOfAnOnlineFileGoThroughTheWorkspace) {
    mount("/media/me/Backup1");
    const QRect row = list().visualRect(list().model()->index(rowNamed("notes.txt"), 0));
    std::unique_ptr<QMenu> menu(view->menuAt(row.center()));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[1]->text(), "Reveal in File Manager");
    for (QAction* action : menu->actions())
        action->trigger();
    EXPECT_THAT(workspace.opened, ElementsAre("/media/me/Backup1/notes.txt"));
    EXPECT_THAT(workspace.revealed, ElementsAre("/media/me/Backup1/notes.txt"));
    EXPECT_THAT(workspace.copied, ElementsAre("/media/me/Backup1/notes.txt"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(CatalogBrowserViewTest, ThePanelShowsTheFactsAndTheErrorOnlyWhileThereIsOne) {
    CatalogInfoPanel& panel = view->infoPanel();
    EXPECT_EQ(panel.header().text(), "Backup");
    const auto rows = panel.rows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows.front(), (std::pair<QString, QString>{"Status", "Connected"}));
    EXPECT_EQ(rows.back(), (std::pair<QString, QString>{"Location", "/media/me/Backup"}));
    EXPECT_EQ(panel.errorText(), std::nullopt);

    view->setLastError("Couldn\u2019t read /media/me/Backup: Input/output error");
    EXPECT_EQ(panel.errorText(),
              QString::fromUtf8("Couldn\u2019t read /media/me/Backup: Input/output error"));
    mount(std::nullopt);
    EXPECT_EQ(panel.rows().front().second, "Offline");
    view->setLastError(std::nullopt);
    EXPECT_EQ(panel.errorText(), std::nullopt);
}

TEST_F(CatalogBrowserViewTest, NamesFromDiskShowAsTyped) {
    test::Catalogs::Index named{false};
    named.add("/media/x/A & B/<b>y", {}, 1000);
    catalogs.write("named", named, described(Kind::drive, "/media/x", "<i>x</i>", "X1"));
    model.select("named");
    view->refreshInfo();
    doubleClick("A & B");
    EXPECT_THAT(crumbTexts(), ElementsAre("<i>x</i>", "A && B")) << "shown, not a mnemonic";
    EXPECT_EQ(list().model()->index(0, 0).data().toString(), "<b>y");
    EXPECT_EQ(view->infoPanel().header().text(), "<i>x</i>");
    EXPECT_EQ(view->infoPanel().header().textFormat(), Qt::PlainText);
}

TEST_F(CatalogBrowserViewTest, AnEmptyFolderOrAnUnloadedIndexListsNothing) {
    doubleClick("Empty");
    EXPECT_EQ(list().model()->rowCount(), 0);
    EXPECT_THAT(crumbTexts(), ElementsAre("Backup", "Empty"));
    EXPECT_EQ(view->infoPanel().rows().size(), 7u);
    EXPECT_EQ(view->menuAt(QPoint(10, 10)), nullptr);

    // An index that is not loaded lists nothing under the catalog's name.
    std::filesystem::create_directories(catalogs.layout.directory("bare"));
    described(Kind::drive, root, "Backup", "B1").write(catalogs.layout.infoURL("bare"));
    catalogs.library.reloadAll();
    model.select("bare");
    EXPECT_EQ(list().model()->rowCount(), 0);
    EXPECT_THAT(crumbTexts(), ElementsAre("Backup"));
    EXPECT_EQ(view->infoPanel().header().text(), "Backup");
}

TEST_F(CatalogBrowserViewTest, GoldenOnlineWithAnError) {
    view->setLastError("Couldn\u2019t read /media/me/Backup/DCIM: Input/output error");
    list().setCurrentIndex(list().model()->index(2, 0));
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(*view),
                                    QStringLiteral("catalog-browser-online-error")));
}

TEST_F(CatalogBrowserViewTest, GoldenOfflineWithADeepTrail) {
    mount(std::nullopt);
    for (const char* name : {"DCIM", "100CANON", "Holiday 2023", "Lisbon", "Day 3 \u2014 Sintra"})
        doubleClick(QString::fromUtf8(name));
    EXPECT_EQ(list().model()->rowCount(), 2);
    QCoreApplication::processEvents(); // the list lays its rows out in a later turn
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(*view),
                                    QStringLiteral("catalog-browser-offline-deep")));
}

} // namespace
} // namespace ulmaro
