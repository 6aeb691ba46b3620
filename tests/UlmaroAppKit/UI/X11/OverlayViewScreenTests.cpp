// The overlay view in the panel on a real X server without a compositing manager: an
// opaque panel with rounded corners cut by its mask, following the view's height, the
// desktop showing through the cut corners.
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/OverlayViewFixture.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <xcb/xcb.h>

namespace ulmaro {
namespace {

// Paints the root window in `rgb` (a 24-bit TrueColor pixel) while it lives; asks the
// screen about windows.
class RootBackground {
public:
    explicit RootBackground(std::uint32_t rgb) { paint(rgb); }
    ~RootBackground() { paint(screen_->black_pixel); }
    RootBackground(const RootBackground&) = delete;
    RootBackground& operator=(const RootBackground&) = delete;

    /// The server leaves what a shape cuts from a window with a colormap of its own black.
    bool hasDefaultColormap(WId window) const {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply{
            xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, std::uint32_t(window)),
                nullptr),
            &std::free};
        return reply && reply->colormap == screen_->default_colormap;
    }

private:
    void paint(std::uint32_t pixel) {
        xcb_change_window_attributes(connection_, screen_->root, XCB_CW_BACK_PIXEL, &pixel);
        xcb_clear_area(connection_, 0, screen_->root, 0, 0, 0, 0);
        xcb_flush(connection_);
    }
    xcb_connection_t* connection_ =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_screen_t* screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
};

TEST(OverlayViewOnScreen, OpaqueRoundedPanelFollowsTheView) {
    const QRgb magenta = qRgb(255, 0, 255);
    RootBackground background(magenta & 0xffffff);
    test::OverlayViewUnderTest t;
    OverlayPanel panel;
    EXPECT_EQ(panel.shadowMargin(), 0) << "no compositing manager runs here";
    OverlayView* view = t.view.release();
    panel.setContent(view);
    panel.move(40, 40);
    panel.show();
    t.showRows({test::row(1, "/home/ana/Documents/report.pdf"),
                test::row(2, "/home/ana/Documents/Reports/summary.odt")},
               "rep");
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.height() == view->height(); }, 5000));
    EXPECT_FALSE(panel.mask().isEmpty());
    EXPECT_FALSE(panel.mask().contains(QPoint(0, 0))) << "the corner is cut";
    EXPECT_TRUE(panel.mask().contains(QPoint(panel.width() / 2, panel.height() / 2)));
    EXPECT_FALSE(panel.testAttribute(Qt::WA_TranslucentBackground))
        << "with nothing to blend it, alpha would show black";

    EXPECT_TRUE(background.hasDefaultColormap(panel.winId()));

    // The screen as the X server holds it: the desktop in the cut corner, not black.
    QTest::qWait(200);
    const QImage onScreen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const QRect frame = panel.geometry();
    EXPECT_EQ(onScreen.pixel(frame.topLeft()), magenta);
    EXPECT_EQ(onScreen.pixel(frame.bottomRight()), magenta);
    EXPECT_NE(onScreen.pixel(frame.center()), magenta);

    // With ULMARO_UI_SNAPSHOT_DIR set, the screen is kept to look at.
    if (const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR")) {
        EXPECT_TRUE(onScreen.save(QString::fromUtf8(out) + "/overlay-screen.png"));
    }
    panel.hide();
}

} // namespace
} // namespace ulmaro
