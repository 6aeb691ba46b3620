// The catalog window under openbox: one window, hidden by a close, back active on the same
// catalog.
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"
#include "UlmaroAppKit/UI/Catalogs/BrowserTextsFixture.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogWindowController.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::activeWindow;
using test::waitLimitMs;

class CatalogWindowUnderWindowManager : public test::CatalogCoordinatorFixture {
protected:
    RecordingWorkspace workspace;
    InMemorySettingsStore windowSettings;
    ScriptedFileChooser chooser;
    CoordinatorTransfers transfers{*coordinator};
    CatalogWindowController controller{{*coordinator, mainQueue, windowSettings, workspace, chooser,
                                        transfers, test::browserTexts()}};
};

TEST_F(CatalogWindowUnderWindowManager, ShownTwiceClosedAndShownAgain) {
    ASSERT_TRUE(X11Desktop::current()) << "not on X11";
    drive("A");
    for (const char* id : {"first", "second"}) {
        CatalogInfo kept = info(id, "A");
        kept.rootRecordID = 0; // the fixture's index lists its files under record 0
        keep(kept);
    }
    controller.show("second", std::nullopt);
    controller.show(std::nullopt, std::nullopt);
    QWidget* window = controller.window();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == window->winId(); }, waitLimitMs));
    const auto windows = QGuiApplication::topLevelWindows();
    EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                            [](QWindow* w) { return w->isVisible() && w->title() == "Catalog"; }),
              1);

    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() != window->winId(); }, waitLimitMs));
    EXPECT_FALSE(window->isVisible());
    controller.show(std::nullopt, std::nullopt);
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == window->winId(); }, waitLimitMs));
    EXPECT_EQ(controller.model().selectedID.get(), "second");

    if (const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR")) {
        QTest::qWait(200);
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromUtf8(out) +
                                                             "/screen-catalog-window.png");
    }
    window->close();
}

} // namespace
} // namespace ulmaro
