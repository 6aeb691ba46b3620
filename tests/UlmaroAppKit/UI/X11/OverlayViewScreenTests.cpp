// The overlay view in the panel on a real X server without a compositing manager: an
// opaque panel with rounded corners cut by its mask, following the view's height.
#include "UlmaroAppKit/UI/OverlayPanel.h"
#include "UlmaroAppKit/UI/OverlayViewFixture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(OverlayViewOnScreen, OpaqueRoundedPanelFollowsTheView) {
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

    // With ULMARO_UI_SNAPSHOT_DIR set, the screen is kept to look at.
    if (const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR")) {
        QTest::qWait(200);
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        EXPECT_TRUE(screen.save(QString::fromUtf8(out) + "/overlay-screen.png"));
    }
    panel.hide();
}

} // namespace
} // namespace ulmaro
