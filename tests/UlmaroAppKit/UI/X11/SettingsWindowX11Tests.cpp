// The settings window under a real window manager: one window, brought to the front.
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/UI/Settings/SettingsView.h"
#include "UlmaroAppKit/UI/Settings/SettingsWindow.h"
#include "UlmaroAppKit/UI/Settings/ShortcutRow.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"
#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::waitLimitMs;

struct SettingsWindowUnderWindowManager : ::testing::Test {
    InMemorySettingsStore frames;
    // No chooser: nothing here adds a folder.
    SettingsWindow window{
        frames,
        {.controller = SettingsWindowController::create(
             std::make_shared<Preferences>(std::make_shared<InMemorySettingsStore>()), {}, {}),
         .detectCloudFolders = {}}};
    QWidget other;

    bool isActive(const QWidget& widget) {
        return QTest::qWaitFor(
            [&] { return X11Desktop::current()->activeWindow().value_or(0) == widget.winId(); },
            waitLimitMs);
    }
};

TEST_F(SettingsWindowUnderWindowManager, ShownTwiceIsOneActiveWindowThatKeepsItsState) {
    ASSERT_TRUE(X11Desktop::current()) << "not on X11";
    window.show();
    QWidget* shown = window.window();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(isActive(*shown));

    other.setWindowTitle(QStringLiteral("Editor"));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(isActive(other));
    window.show();
    EXPECT_EQ(window.window(), shown) << "one window";
    EXPECT_TRUE(isActive(*shown)) << "brought to the front";

    // A message, then closed and shown again: the same view with its state.
    window.view()->form().shortcut().handleCapture({49, 0});
    SettingsView* view = window.view();
    shown->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown->isVisible(); }, waitLimitMs));
    window.show();
    EXPECT_TRUE(isActive(*shown));
    EXPECT_EQ(window.view(), view);
    EXPECT_FALSE(view->shortcutRow().message().isHidden());
    other.close();
}

} // namespace
} // namespace ulmaro
