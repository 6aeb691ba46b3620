// The panel under a real window manager: openbox on a private Xvfb, driven with xdotool.
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"
#include "UlmaroAppKit/UI/Panel/PanelFixture.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"
#include "UlmaroAppKit/UI/X11/X11Desktop.h"
#include "UlmaroAppKit/UI/X11/X11FrontmostAppTracker.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace ulmaro {
namespace {

using test::activeWindow;
using test::waitLimitMs;
using test::xdotool;

class PanelUnderWindowManager : public test::OtherWindowActive {
protected:
    void SetUp() override {
        test::OtherWindowActive::SetUp();
        if (HasFatalFailure()) return;
    }
    void TearDown() override {
        controller.dismiss(false);
        QApplication::processEvents();
    }

    test::PanelUnderTest t;
    QtMainQueue mainQueue;
    InMemorySettingsStore settings;
    std::shared_ptr<SettingsPanelPositionStore> positions =
        std::make_shared<SettingsPanelPositionStore>(settings);
    OverlayPanelController controller{t.panel, X11FrontmostAppTracker::make(), positions,
                                      mainQueue};
};

TEST_F(PanelUnderWindowManager, BecomesActiveAndGetsTypedKeys) {
    controller.toggle(false);
    ASSERT_TRUE(QTest::qWaitForWindowActive(t.panel.get(), waitLimitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == t.panel->winId(); }, waitLimitMs))
        << "the window manager sees the panel active";
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.field->hasFocus(); }, waitLimitMs));
    ASSERT_TRUE(xdotool({"type", "--delay", "20", "notes"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return t.field->text() == "notes"; }, waitLimitMs))
        << t.field->text().toStdString();
    EXPECT_EQ(controller.capturedFrontmost()->window, other.winId());
    EXPECT_EQ(controller.capturedFrontmost()->processIdentifier, getpid());
}

TEST_F(PanelUnderWindowManager, DismissWithRestoreHandsFocusBack) {
    controller.toggle(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == t.panel->winId(); }, waitLimitMs));
    controller.toggle(false);
    EXPECT_FALSE(t.panel->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == other.winId(); }, waitLimitMs));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&other, waitLimitMs));
}

TEST_F(PanelUnderWindowManager, AClickElsewhereDismissesAndTheNextShowRestoresThePlace) {
    controller.show(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == t.panel->winId(); }, waitLimitMs));
    t.panel->move(120, 60);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return t.panel->frame().topLeft() == PanelPoint{120, 60};
        },
        waitLimitMs));

    const QPoint inOther = other.mapToGlobal(QPoint(200, 200));
    ASSERT_TRUE(xdotool({"mousemove", "--sync", QString::number(inOther.x()),
                         QString::number(inOther.y()), "click", "1"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !t.panel->isVisible(); }, waitLimitMs));
    EXPECT_EQ(positions->savedTopLeft(), (PanelPoint{120, 60}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == other.winId(); }, waitLimitMs));

    t.panel->move(0, 0);
    controller.show(false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(t.panel.get(), waitLimitMs));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return t.panel->frame().topLeft() == PanelPoint{120, 60};
        },
        waitLimitMs))
        << t.panel->frame().x << "," << t.panel->frame().y;
}

TEST_F(PanelUnderWindowManager, AWindowThatIsGoneIsSkipped) {
    auto gone = std::make_unique<QWidget>();
    gone->show();
    gone->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == gone->winId(); }, waitLimitMs));
    controller.show(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == t.panel->winId(); }, waitLimitMs));
    gone.reset();
    controller.dismiss(true); // must neither fail nor activate anything else
    EXPECT_FALSE(t.panel->isVisible());
    EXPECT_EQ(controller.capturedFrontmost(), std::nullopt);
}

} // namespace
} // namespace ulmaro

namespace ulmaro {
namespace {

// With ULMARO_UI_SNAPSHOT_DIR set, the whole screen with the panel in front is kept as a
// PNG file to look at (ImageMagick's import, when installed).
TEST_F(PanelUnderWindowManager, ScreenWithThePanel) {
    const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR");
    if (!out) GTEST_SKIP() << "ULMARO_UI_SNAPSHOT_DIR not set";
    controller.show(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == t.panel->winId(); }, waitLimitMs));
    ASSERT_TRUE(xdotool({"type", "--delay", "10", "report"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.field->text() == "report"; }, waitLimitMs));
    QTest::qWait(100);
    QProcess import;
    import.start(QStringLiteral("import"),
                 {"-window", "root", QString::fromUtf8(out) + "/screen.png"});
    if (!import.waitForFinished(waitLimitMs)) import.kill();
    EXPECT_EQ(import.exitCode(), 0);
}

} // namespace
} // namespace ulmaro
