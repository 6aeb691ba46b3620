#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/PanelPlacement.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"
#include "UlmaroAppKit/UI/Panel/PanelFixture.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/X11/X11FrontmostAppTracker.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::PanelUnderTest;

class OverlayPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(dir.path() / "notes.txt") << "some notes\n";
        std::ofstream(dir.path() / "other.txt") << "other notes\n";
        t.model.results = {(dir.path() / "notes.txt").string(),
                           (dir.path() / "other.txt").string()};
        t.panel->makeKeyAndOrderFront();
        t.panel->focusSearchField();
        ASSERT_TRUE(QTest::qWaitForWindowActive(t.panel.get(), 5000));
        QApplication::clipboard()->clear();
    }
    void TearDown() override {
        t.panel->orderOut();
        QApplication::processEvents();
    }
    void type(const QString& text) { QTest::keyClicks(t.field, text); }

    ulmaro::test::TempDir dir;
    PanelUnderTest t;
};

TEST_F(OverlayPanelTest, SpaceTypesUntilBrowsingThenPreviews) {
    type("a b");
    EXPECT_EQ(t.field->text(), "a b");

    t.model.browsing = true; // selection but no path yet
    QTest::keyClick(t.field, Qt::Key_Space);
    EXPECT_EQ(t.field->text(), "a b ");
    EXPECT_FALSE(t.panel->preview().isVisible());

    t.model.selected = 0;
    QTest::keyClick(t.field, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(t.field->text(), "a b ") << "Shift+Space previews too, and types nothing";
    ASSERT_TRUE(t.panel->preview().isVisible());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return t.panel->preview().shownPath() == t.model.results[0]; }, 5000));
    EXPECT_TRUE(t.panel->isVisible()) << "the preview keeps the panel open";

    // The preview has the keyboard now: Down moves the selection and the preview follows.
    QTest::keyClick(&t.panel->preview(), Qt::Key_Down);
    EXPECT_EQ(t.model.selected, 1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return t.panel->preview().shownPath() == t.model.results[1]; }, 5000));
    QTest::keyClick(&t.panel->preview(), Qt::Key_Space);
    EXPECT_FALSE(t.panel->preview().isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(t.panel.get(), 5000))
        << "the panel has the keyboard back";

    QTest::keyClick(t.field, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(t.panel->preview().isVisible()) << "Ctrl+Space never previews";
}

TEST_F(OverlayPanelTest, CtrlDigitsAreFilterKeysOnlyWithCtrlAlone) {
    type("x");
    QTest::keyClick(t.field, Qt::Key_1, Qt::ControlModifier);
    QTest::keyClick(t.field, Qt::Key_9, Qt::ControlModifier);
    QTest::keyClick(t.field, Qt::Key_0, Qt::ControlModifier);
    QTest::keyClick(t.field, Qt::Key_3, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(t.field->text(), "x") << "swallowed, whether or not a filter has the digit";
    // Not filter keys: they go on to the field, which does with them what it does.
    QTest::keyClick(t.field, Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(t.field, Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(t.field, Qt::Key_1, Qt::ControlModifier | Qt::MetaModifier);
    EXPECT_EQ(t.model.filterDigits, (std::vector<char>{'1', '9', '0', '3'}));
}

TEST_F(OverlayPanelTest, CtrlReturnAndCtrlKeypadEnterReveal) {
    QTest::keyClick(t.field, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(t.field, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(t.field, Qt::Key_Return, Qt::ControlModifier | Qt::MetaModifier);
    QTest::keyClick(t.field, Qt::Key_Return);
    EXPECT_EQ(t.model.calls, (std::vector<std::string>{"reveal", "reveal"}));
}

TEST_F(OverlayPanelTest, CtrlCCopiesTheFieldsSelectionElseThePath) {
    type("query text");
    t.field->setSelection(0, 5);
    t.model.selected = 0;
    QTest::keyClick(t.field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "query");

    t.field->deselect();
    QTest::keyClick(t.field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), t.model.results[0]);

    // Nothing selected anywhere: the field's ordinary copy, which copies nothing.
    t.model.selected = -1;
    QApplication::clipboard()->setText("before");
    QTest::keyClick(t.field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    EXPECT_EQ(t.field->text(), "query text");
}

TEST_F(OverlayPanelTest, TheWindowActionsReachTheirClosures) {
    QTest::keyClick(t.field, Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(t.field, Qt::Key_T, Qt::ControlModifier);
    QTest::keyClick(t.field, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(t.field, Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_EQ(t.model.calls,
              (std::vector<std::string>{"copies", "terminal", "settings", "cheatsheet"}));

    QTest::keyClick(t.field, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_FALSE(t.panel->preview().isVisible()) << "no selection, no preview";
    t.model.selected = 0;
    QTest::keyClick(t.field, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(t.panel->preview().isVisible()) << "Ctrl+Y previews even while typing";
    QTest::keyClick(&t.panel->preview(), Qt::Key_Y, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(t.panel->preview().isVisible());
}

TEST_F(OverlayPanelTest, AHeightChangeNeverMovesTheTopEdge) {
    t.panel->move(100, 150);
    const PanelRect before = t.panel->frame();
    // Grown from the bottom (the top edge would move up), then shrunk.
    t.panel->setFrame({before.x, before.y - 100, before.width, before.height + 100});
    EXPECT_EQ(t.panel->frame(), (PanelRect{100, 150, before.width, before.height + 100}));
    t.panel->setFrame({before.x, before.y + 200, before.width, before.height - 100});
    EXPECT_EQ(t.panel->frame(), (PanelRect{100, 150, before.width, before.height - 100}));
}

TEST_F(OverlayPanelTest, LosingTheKeyboardDismissesExceptToThePreview) {
    QtMainQueue mainQueue;
    InMemorySettingsStore settings;
    OverlayPanelController controller(t.panel, X11FrontmostAppTracker::make(),
                                      std::make_shared<SettingsPanelPositionStore>(settings),
                                      mainQueue);

    t.model.browsing = true;
    t.model.selected = 0;
    QTest::keyClick(t.field, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.panel->preview(), 5000));
    EXPECT_TRUE(t.panel->isVisible());

    // Focus leaves both for another window: the preview closes and the panel is dismissed.
    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other, 5000));
    EXPECT_FALSE(t.panel->preview().isVisible());
    EXPECT_FALSE(t.panel->isVisible());
    EXPECT_TRUE(settings.contains(SettingsPanelPositionStore::originXKey));
}

TEST(OverlayPanel, FirstTextFieldIsTheFirstEditableOneDepthFirst) {
    QWidget root;
    auto* box = new QWidget(&root);
    auto* readOnly = new QLineEdit(box);
    readOnly->setReadOnly(true);
    auto* inner = new QLineEdit(box);
    new QLineEdit(&root);
    EXPECT_EQ(OverlayPanel::firstTextField(&root), inner);
    EXPECT_EQ(OverlayPanel::firstTextField(nullptr), nullptr);
}

TEST(OverlayPanel, IsAFramelessToolWindowAboveOthers) {
    OverlayPanel panel;
    const Qt::WindowFlags flags = panel.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(panel.windowType(), Qt::Tool);
    EXPECT_TRUE(panel.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(panel.frame().width, 680);
    EXPECT_EQ(panel.frame().height, 480);
}

} // namespace
} // namespace ulmaro

namespace ulmaro {
namespace {

// The panel and its preview as pixels; with ULMARO_UI_SNAPSHOT_DIR set they are kept as PNG
// files to look at.
TEST(OverlayPanelRender, PanelAndPreviewRender) {
    test::TempDir dir;
    const std::string notes = (dir.path() / "notes.txt").string();
    std::ofstream(notes) << "Shopping\n- caf\xC3\xA9 beans\n- bread\n";
    PanelUnderTest t;
    t.model.results = {notes};
    t.model.selected = 0;
    t.panel->makeKeyAndOrderFront();
    t.panel->focusSearchField();
    QTest::keyClicks(t.field, "notes");
    const QImage panel = t.panel->grab().toImage();
    ASSERT_EQ(panel.size(), QSize(680, 480));
    EXPECT_EQ(qAlpha(panel.pixel(0, 0)), 0) << "the rounded corner is transparent";
    EXPECT_GT(qAlpha(panel.pixel(340, 240)), 200);

    t.panel->quickLookSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.panel->preview().shownPath() == notes; }, 5000));
    const QImage preview = t.panel->preview().grab().toImage();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const PanelRect beside = PanelPlacement::beside(
        t.panel->frame(),
        {double(screen.x()), double(screen.y()), double(screen.width()), double(screen.height())},
        PanelPlacement::previewWidth, PanelPlacement::previewHeight);
    EXPECT_EQ(preview.size(), QSize(qRound(beside.width), qRound(beside.height)));

    if (const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR")) {
        panel.save(QString::fromUtf8(out) + "/panel.png");
        preview.save(QString::fromUtf8(out) + "/preview.png");
    }
    t.panel->orderOut();
}

} // namespace
} // namespace ulmaro
