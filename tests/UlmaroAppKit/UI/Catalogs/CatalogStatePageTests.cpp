#include "UlmaroAppKit/UI/Catalogs/CatalogMessageAlert.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogStatePage.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "support/GoldenImage.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(CatalogStatePage, TheEmptyStateOffersToAddAFolder) {
    CatalogStatePage page(CatalogStatePage::Kind::empty);
    int asked = 0;
    page.onAddFolder = [&] { ++asked; };
    page.setTitle(QStringLiteral("No catalogs yet"));
    EXPECT_EQ(page.body().text().toStdString(), CatalogStatePage::emptyBody);
    EXPECT_EQ(page.title().font().pixelSize(), 15);
    EXPECT_EQ(page.body().font().pixelSize(), 12);
    ASSERT_NE(page.addFolderButton(), nullptr);
    EXPECT_EQ(page.addFolderButton()->text(), QStringLiteral("Add Folder\u2026"));
    EXPECT_EQ(page.layout()->spacing(), 12);
    EXPECT_EQ(page.layout()->contentsMargins(), QMargins(40, 40, 40, 40));
    page.resize(600, 460);
    page.show();
    QTest::mouseClick(page.addFolderButton(), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(page), QStringLiteral("catalog-empty-state")));
}

TEST(CatalogStatePage, ADamagedCatalogShowsItsReasonVerbatimAndSelectable) {
    CatalogStatePage page(CatalogStatePage::Kind::damaged);
    page.setDamage(QStringLiteral("The index of <b>Backup</b> & co. is not readable: bad checksum"),
                   QStringLiteral("Forget it, or rescan once the drive is connected."));
    EXPECT_EQ(page.title().text(), QStringLiteral("Damaged"));
    EXPECT_EQ(page.body().textFormat(), Qt::PlainText);
    EXPECT_TRUE(page.body().textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    ASSERT_NE(page.hint(), nullptr);
    EXPECT_EQ(page.addFolderButton(), nullptr);
    page.resize(600, 460);
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(page), QStringLiteral("catalog-damaged-state")));
}

TEST(CatalogMessageAlert, ANewerMessageReplacesTheOpenOneAndAnyDismissalReportsOnce) {
    QWidget window;
    window.show();
    CatalogMessageAlert alert(&window);
    int dismissed = 0;
    alert.onDismissed = [&] { ++dismissed; };
    alert.show(QStringLiteral("Couldn\u2019t export the catalog: <i>disk</i> full"));
    QPointer<QMessageBox> first = alert.box();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->textFormat(), Qt::PlainText);
    alert.show(QStringLiteral("Not enough space & no retry"));
    EXPECT_EQ(alert.box(), first.data()) << "one box";
    EXPECT_EQ(first->text(), QStringLiteral("Not enough space & no retry"));
    EXPECT_EQ(first->buttons().size(), 1);
    EXPECT_EQ(first->buttons().front()->text(), QStringLiteral("OK"));

    QTest::mouseClick(first->buttons().front(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dismissed, 1);
    EXPECT_TRUE(first.isNull());

    alert.show(QStringLiteral("again"));
    ASSERT_TRUE(alert.box());
    alert.box()->reject(); // Escape or the window's close
    EXPECT_EQ(dismissed, 2);
}

} // namespace
} // namespace ulmaro
