// The catalog window's content as the window state drives it: rows, selection and the
// three details, with the folder browser over a stand-in of the browser model.
#include "UlmaroAppKit/Catalogs/CatalogWindowRules.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/UI/Catalogs/BrowserTextsFixture.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogBrowserView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogStatePage.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogViewFixtures.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "support/FakeCatalogBrowser.h"
#include "support/GoldenImage.h"

#include <QLabel>
#include <QListView>
#include <QTest>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Colour = CatalogWindowRules::Colour;

struct Window {
    test::FakeCatalogBrowser model;
    RecordingWorkspace workspace;
    CatalogBrowserView* browser;
    CatalogView view;
    Window()
        : browser(new CatalogBrowserView(model, workspace, test::browserTexts())), view(browser) {
        model.entry.currentRoot = "/media/me/Backup";
        model.add(0, "DCIM", true, 0);
        model.add(0, "Documents", true, 0);
        model.add(0, "notes.txt", false, 12'000);
        model.reload();
        browser->refreshInfo();
        view.resize(900, 560);
        view.show();
    }
};

TEST(CatalogView, TheDetailFollowsWhatItIsTold) {
    Window w;
    std::vector<std::optional<std::string>> chosen;
    w.view.onSelect() = [&](const std::optional<std::string>& id) { chosen.push_back(id); };
    int adds = 0;
    w.view.onAddFolder() = [&] { ++adds; };

    w.view.setRows({}, std::nullopt);
    w.view.showEmpty("No catalogs yet");
    EXPECT_EQ(w.view.detail(), CatalogView::Detail::empty);
    EXPECT_EQ(w.view.emptyPage().title().text(), "No catalogs yet");
    QTest::mouseClick(w.view.emptyPage().addFolderButton(), Qt::LeftButton);
    EXPECT_EQ(adds, 1);

    w.view.setRows(test::catalogsInEachState(), "B");
    w.view.showDamaged("bad checksum", "Forget it, or rescan once the drive is connected.");
    EXPECT_TRUE(w.view.damagedPage().isVisible());
    EXPECT_EQ(w.view.damagedPage().body().text(), "bad checksum");
    w.view.showBrowser();
    EXPECT_TRUE(w.view.browser().isVisible());
    EXPECT_FALSE(w.view.damagedPage().isVisible());
    EXPECT_TRUE(chosen.empty()) << "showing a selection reports nothing";
    EXPECT_GE(w.view.sidebar().width(), 200);
}

TEST(CatalogViewGolden, EmptyState) {
    Window w;
    w.view.setRows({}, std::nullopt);
    w.view.showEmpty("No catalogs yet");
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(w.view), QStringLiteral("catalog-window-empty")));
}

TEST(CatalogViewGolden, ADamagedCatalog) {
    Window w;
    auto damaged = test::catalogsInEachState();
    damaged[2] = {"C", "Old Laptop", "Damaged", Colour::orange, true};
    w.view.setRows(damaged, "C");
    w.view.showDamaged("The catalog\u2019s index is damaged (bad checksum).",
                       "Forget it, or rescan once the drive is connected.");
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(w.view), QStringLiteral("catalog-window-damaged")));
}

TEST(CatalogViewGolden, FourCatalogsInTheirStatesWithOnePending) {
    Window w;
    w.view.setRows(test::catalogsInEachState(), "A");
    w.view.showBrowser();
    QCoreApplication::processEvents();
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(w.view),
                                    QStringLiteral("catalog-window-catalogs")));
}

} // namespace
} // namespace ulmaro
