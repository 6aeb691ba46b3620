#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogViewFixtures.h"
#include "support/GoldenImage.h"

#include <QListView>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;

struct Sidebar {
    CatalogSidebarView view;
    std::vector<std::optional<std::string>> chosen;
    Sidebar() {
        view.onSelect = [this](const std::optional<std::string>& id) { chosen.push_back(id); };
        view.setRows(test::catalogsInEachState());
        view.resize(230, 300);
        view.show();
    }
    void click(int row) {
        const QRect rect = view.list().visualRect(view.list().model()->index(row, 0));
        QTest::mouseClick(view.list().viewport(), Qt::LeftButton, {}, rect.center());
    }
    std::optional<int> selectedRow() {
        const auto rows = view.list().selectionModel()->selectedRows();
        if (rows.isEmpty()) return std::nullopt;
        return rows.front().row();
    }
};

TEST(CatalogSidebarView, ChoosingACatalogAndTheRowsBeingMadeCannotBeChosen) {
    Sidebar s;
    EXPECT_EQ(s.view.minimumWidth(), 200);
    EXPECT_EQ(s.view.sizeHint().width(), 230);
    s.click(1);
    s.click(4);
    EXPECT_THAT(s.chosen, ElementsAre(std::optional<std::string>("B")));
    EXPECT_EQ(s.selectedRow(), 1);

    // Shown from the window's selection, reporting nothing back.
    s.view.setSelectedID("C");
    EXPECT_EQ(s.selectedRow(), 2);
    s.view.setSelectedID("N");
    EXPECT_EQ(s.selectedRow(), std::nullopt);
    s.view.setSelectedID("D");
    auto rows = test::catalogsInEachState();
    rows.erase(rows.begin());
    s.view.setRows(rows);
    EXPECT_EQ(s.selectedRow(), 2) << "the same catalog stays selected";
    EXPECT_EQ(s.chosen.size(), 1u);
}

TEST(CatalogSidebarView, GoldenFourCatalogsInTheirStatesWithOnePending) {
    Sidebar s;
    s.view.setSelectedID("A");
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(s.view), QStringLiteral("catalog-sidebar")));
}

} // namespace
} // namespace ulmaro
