// The catalog window's "Add Folder…" under openbox on a plain X server (no compositor): the
// chooser over the catalog window is seen with its contents, in a capture by `xwd -root`
// too, and a folder chosen in it becomes a catalog.
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/UI/Catalogs/BrowserTextsFixture.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogWindowController.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Qt/QtFileChooser.h"
#include "UlmaroAppKit/UI/X11/SharedColormap.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace ulmaro {
namespace {

using test::waitLimitMs;

/// The screen as `xwd -root` captures it: window by window, each through its colormap.
QImage xwdCapture() {
    QProcess capture;
    capture.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("xwd -root -silent | xwdtopnm 2>/dev/null")});
    if (!capture.waitForFinished(waitLimitMs) || capture.exitCode() != 0) return {};
    return QImage::fromData(capture.readAllStandardOutput(), "PPM");
}

/// The share of the pixels in `area` of `image` that are black.
double blackShare(const QImage& image, const QRect& area) {
    const QRect inside = area & image.rect();
    if (image.isNull() || inside.isEmpty()) return 1.0;
    qint64 black = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0) ++black;
    return double(black) / double(qint64(inside.width()) * inside.height());
}

std::uint32_t colormapOf(QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    auto* attributes = xcb_get_window_attributes_reply(
        x11->connection(), xcb_get_window_attributes(x11->connection(), window.winId()), nullptr);
    const std::uint32_t colormap = attributes ? attributes->colormap : 0;
    std::free(attributes);
    return colormap;
}

std::uint32_t defaultColormap() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return xcb_setup_roots_iterator(xcb_get_setup(x11->connection())).data->default_colormap;
}

class FolderChooserOnScreen : public test::CatalogCoordinatorFixture {
protected:
    // As the application's main does, before its first window.
    FolderChooserOnScreen() { SharedColormap::install(); }

    // The application makes its panel at start; without a compositor it is a shaped window
    // with the screen's default colormap.
    std::shared_ptr<OverlayPanel> panel = std::make_shared<OverlayPanel>();
    RecordingWorkspace workspace;
    InMemorySettingsStore windowSettings;
    QtFileChooser chooser;
    CoordinatorTransfers transfers{*coordinator};
    CatalogWindowController controller{{*coordinator, mainQueue, windowSettings, workspace, chooser,
                                        transfers, test::browserTexts()}};
};

TEST_F(FolderChooserOnScreen, AddFolderShowsItsContentsAndAddsTheFolderChosen) {
    ASSERT_TRUE(X11Desktop::current()) << "not on X11";
    const MountedVolume a = drive("A");
    std::filesystem::create_directories(a.mountPath + "/Photos/2024");
    std::filesystem::create_directories(a.mountPath + "/Music");
    panel->show();
    QApplication::processEvents();
    panel->hide();
    controller.show(std::nullopt, std::nullopt);
    QWidget* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, waitLimitMs));

    // The chooser runs modally: it is looked at, and answered, from a timer.
    double black = 1.0;
    std::uint32_t dialogColormap = 0;
    bool answered = false;
    QTimer poll;
    poll.setInterval(50);
    int turns = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || answered || !dialog->isVisible()) return;
        if (!dialog->windowHandle() || !dialog->windowHandle()->isExposed()) return;
        dialog->setDirectory(QString::fromStdString(a.mountPath));
        auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
        if (!list || list->model()->rowCount(list->rootIndex()) < 2) return;
        if (++turns < 6) return; // painted, then a few turns for the server to show it
        dialogColormap = colormapOf(*dialog);
        const QImage screen = xwdCapture();
        black = blackShare(screen, QRect(dialog->mapToGlobal(QPoint(0, 0)), dialog->size()));
        if (const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR"))
            screen.save(QString::fromUtf8(out) + "/screen-add-folder.png");
        answered = true;
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("Photos"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start();
    QToolButton* add = nullptr;
    for (auto* button : window->findChildren<QToolButton*>())
        if (button->text() == QStringLiteral("Add Folder\u2026")) add = button;
    ASSERT_NE(add, nullptr);
    QTimer::singleShot(0, add, [add] { add->click(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, waitLimitMs));
    QApplication::processEvents();
    poll.stop();

    EXPECT_EQ(colormapOf(*window), defaultColormap());
    EXPECT_EQ(dialogColormap, defaultColormap());
    EXPECT_LT(black, 0.05) << "the chooser over the catalog window, as xwd captures it";
    ASSERT_EQ(coordinator->pendingNew().size(), 1u);
    EXPECT_EQ(coordinator->pendingNew()[0].name, "Photos");
    EXPECT_EQ(coordinator->pendingNew()[0].relativeRoot, "Photos");
    window->close();
}

} // namespace
} // namespace ulmaro
