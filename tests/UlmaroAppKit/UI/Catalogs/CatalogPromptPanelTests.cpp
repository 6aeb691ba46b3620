// The drive offer's window and content, offscreen, driven through the real queue.
#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogPromptPanel.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogPromptView.h"
#include "UlmaroAppKit/UI/Catalogs/PromptFixture.h"
#include "UlmaroAppKit/UI/Kit/ClampedLabel.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "support/GoldenImage.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;

void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class CatalogPromptPanelTest : public ::testing::Test {
protected:
    test::PromptUnderTest prompt;
    CatalogPromptPanel* panel = prompt.panel.get();
    CatalogPromptQueue* queue = prompt.queue.get();
    std::vector<std::string>& answers = prompt.answers;
};

TEST_F(CatalogPromptPanelTest, AFramelessToolWindowAtTheTopRightThatDoesNotTakeTheKeyboard) {
    queue->enqueue(test::promptDrive("Backup"));
    QWidget* window = panel->panel();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowType(), Qt::Tool);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));

    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->pos(), QPoint(area.x() + area.width() - 360, area.y() + 12));
    EXPECT_EQ(window->width(), 340);
    CatalogPromptView& view = *panel->view();
    const int content = view.layout()->totalHeightForWidth(340);
    EXPECT_EQ(window->height(), content) << "the height follows the content";

    EXPECT_EQ(view.titleLabel().text(), QStringLiteral("Catalog \u201CBackup\u201D?"));
    EXPECT_EQ(view.titleLabel().font().pixelSize(), 14);
    EXPECT_EQ(view.titleLabel().font().weight(), QFont::DemiBold);
    EXPECT_EQ(view.explanationLabel().text().toStdString(), CatalogPromptView::explanation);
    EXPECT_EQ(view.explanationLabel().font().pixelSize(), 12);
    EXPECT_EQ(view.declineButton().text(), QStringLiteral("Not this drive"));
    EXPECT_EQ(view.catalogButton().text(), QStringLiteral("Catalog"));
    EXPECT_EQ(view.catalogButton().look(), Theme::ButtonLook::prominent);
    EXPECT_EQ(view.declineButton().look(), Theme::ButtonLook::standard);
    EXPECT_LT(view.declineButton().geometry().right(), view.catalogButton().geometry().left());
    EXPECT_EQ(view.catalogButton().geometry().right(), 340 - 16 - 1) << "kept to the right";
}

// Each answer takes its window away only once the click is over, then the next drive
// comes in a window of its own.
TEST_F(CatalogPromptPanelTest, AnswersLeaveByDeferredDeletionAndTheNextDriveFollows) {
    queue->enqueue(test::promptDrive("A"));
    queue->enqueue(test::promptDrive("B"));
    QPointer<QWidget> first = panel->panel();
    QTest::mouseClick(&panel->view()->catalogButton(), Qt::LeftButton);
    EXPECT_THAT(answers, ElementsAre("catalog A"));
    ASSERT_FALSE(first.isNull()) << "not deleted inside its own click";
    EXPECT_FALSE(first->isVisible());
    runDeferredDeletes();
    EXPECT_TRUE(first.isNull());

    ASSERT_NE(panel->panel(), nullptr);
    EXPECT_EQ(panel->view()->titleLabel().text(), QStringLiteral("Catalog \u201CB\u201D?"));
    QTest::mouseClick(&panel->view()->declineButton(), Qt::LeftButton);
    EXPECT_THAT(answers, ElementsAre("catalog A", "decline B"));
    EXPECT_EQ(panel->panel(), nullptr);
    EXPECT_EQ(queue->current(), std::nullopt);
}

TEST_F(CatalogPromptPanelTest, ReturnPressesCatalogOnceWhicheverButtonHasFocus) {
    queue->enqueue(test::promptDrive("A"));
    queue->enqueue(test::promptDrive("B"));
    QWidget* window = panel->panel();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    panel->view()->declineButton().setFocus();
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_THAT(answers, ElementsAre("catalog A"));
    // The next drive's window is not active yet: nothing presses it.
    EXPECT_EQ(queue->current()->name, "B");
}

TEST_F(CatalogPromptPanelTest, ANewOfferReplacesTheOneOnScreenAndDismissIsSafeWhenEmpty) {
    panel->dismiss();
    EXPECT_EQ(panel->panel(), nullptr);
    int catalogued = 0;
    panel->present("first", [&] { ++catalogued; }, {});
    QPointer<QWidget> first = panel->panel();
    panel->present("second", [&] { catalogued += 10; }, {});
    EXPECT_FALSE(first->isVisible());
    EXPECT_NE(panel->panel(), first.data());
    runDeferredDeletes();
    EXPECT_TRUE(first.isNull());
    QTest::mouseClick(&panel->view()->catalogButton(), Qt::LeftButton);
    EXPECT_EQ(catalogued, 10);
}

TEST_F(CatalogPromptPanelTest, TheWindowManagersCloseIsRefused) {
    queue->enqueue(test::promptDrive("A"));
    QWidget* window = panel->panel();
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(queue->current()->name, "A");
}

TEST_F(CatalogPromptPanelTest, TitlesFromDiskShowVerbatimOnTwoLinesAtMost) {
    const struct {
        std::string name;
        int lines;
    } cases[] = {
        {"<b>x</b> & B", 1},
        {"Seagate Expansion Desk Photos Archive 2019 to 2024 second copy kept offsite at the "
         "office",
         2},
        {std::string(120, 'W'), 2},
    };
    for (const auto& c : cases) {
        queue->enqueue(test::promptDrive(c.name));
        const ClampedLabel& title = panel->view()->titleLabel();
        const QStringList lines = title.linesForWidth(title.width());
        EXPECT_EQ(int(lines.size()), c.lines) << c.name;
        if (c.lines == 1) {
            EXPECT_EQ(lines.value(0),
                      QString::fromStdString(CatalogPromptQueue::title(test::promptDrive(c.name))));
        } else {
            EXPECT_TRUE(lines.back().endsWith(QChar(0x2026))) << lines.join('|').toStdString();
            for (const QString& line : lines)
                EXPECT_LE(title.fontMetrics().horizontalAdvance(line), title.width());
        }
        queue->withdraw("/media/me/" + c.name);
    }
}

TEST_F(CatalogPromptPanelTest, Golden) {
    queue->enqueue(
        test::promptDrive("Seagate Expansion Desk Photos Archive 2019 to 2024 second copy"));
    QWidget* window = panel->panel();
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(*window),
                                    QStringLiteral("catalog-prompt-long-name")));
}

} // namespace
} // namespace ulmaro
