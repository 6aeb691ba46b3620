#include "UlmaroAppKit/UI/MenuBar/MenuBarIconPainter.h"
#include "support/GoldenImage.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Glyph = MenuBarIconArt::Glyph;

int alphaAt(const QImage& image, int x, int y) {
    return qAlpha(image.convertToFormat(QImage::Format_ARGB32).pixel(x, y));
}

TEST(MenuBarIconPainter, AlphaProbesAtEighteenPixels) {
    const QImage ready = MenuBarIconPainter::image(Glyph::ready, 0, 18, 1.0, Qt::black);
    const QImage failed = MenuBarIconPainter::image(Glyph::failed, 0, 18, 1.0, Qt::black);
    ASSERT_EQ(ready.size(), QSize(18, 18));
    const struct {
        const char* what;
        int x, y;
        bool readyInk, failedInk;
    } probes[] = {
        {"centre dot", 9, 9, true, true},
        {"top spoke, drawn upwards", 9, 3, true, true},
        {"between two spokes", 6, 3, false, false},
        {"a corner", 0, 0, false, false},
        {"badge bar, near the top right", 14, 6, false, true},
        {"below the badge, mirrored", 14, 11, false, false},
    };
    for (const auto& p : probes) {
        EXPECT_EQ(alphaAt(ready, p.x, p.y) > 128, p.readyInk) << p.what;
        EXPECT_EQ(alphaAt(failed, p.x, p.y) > 128, p.failedInk) << p.what;
    }
}

TEST(MenuBarIconPainter, PhasesTurnTheMarkAndRepeatEveryFour) {
    const auto frame = [](int phase) {
        return MenuBarIconPainter::image(Glyph::working, phase, 22, 1.0, Qt::black);
    };
    EXPECT_EQ(frame(4), frame(0));
    EXPECT_EQ(frame(5), frame(1));
    EXPECT_NE(frame(1), frame(0));
    EXPECT_EQ(frame(0), MenuBarIconPainter::image(Glyph::ready, 0, 22, 1.0, Qt::black));
    EXPECT_EQ(MenuBarIconPainter::image(Glyph::ready, 3, 22, 1.0, Qt::black), frame(0))
        << "only working turns";
}

TEST(MenuBarIconPainter, IconAtTheTraySizesAndAnyPixelRatio) {
    const QIcon icon = MenuBarIconPainter::icon(Glyph::ready, 0, Qt::black);
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {22, 22}, {24, 24}, {32, 32}}));
    for (const int size : {16, 22, 24, 32})
        for (const qreal dpr : {1.0, 1.25, 2.0}) {
            const QPixmap pixmap = icon.pixmap(QSize(size, size), dpr);
            EXPECT_EQ(pixmap.size(), QSize(qRound(size * dpr), qRound(size * dpr)));
            const QImage image = pixmap.toImage();
            EXPECT_GT(alphaAt(image, image.width() / 2, image.height() / 2), 200)
                << size << "@" << dpr;
        }
}

// One sheet per glyph, a band per frame: the frame at 16, 22, 24 and 32 pixels, then 22 at
// twice the ratio, black on white above and white on dark below; at the right the 22-pixel
// frame's pixels four times enlarged, to look at.
QImage sheet(Glyph glyph, int frames) {
    const int sizes[] = {16, 22, 24, 32};
    const int cell = 48;
    const int zoom = 4;
    QImage out(cell * 5 + 22 * zoom + 8, cell * 2 * frames, QImage::Format_ARGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    for (int phase = 0; phase < frames; ++phase) {
        const int top = phase * cell * 2;
        painter.fillRect(0, top + cell, cell * 5, cell, QColor(40, 40, 40));
        for (int i = 0; i < 5; ++i) {
            const int size = i < 4 ? sizes[i] : 22;
            const qreal dpr = i < 4 ? 1.0 : 2.0;
            for (const auto& [row, color] :
                 {std::pair(0, QColor(Qt::black)), std::pair(1, QColor(Qt::white))}) {
                QImage icon = MenuBarIconPainter::image(glyph, phase, size, dpr, color);
                icon.setDevicePixelRatio(1.0); // drawn at its device pixels
                painter.drawImage(i * cell + (cell - icon.width()) / 2,
                                  top + row * cell + (cell - icon.height()) / 2, icon);
            }
        }
        const QImage enlarged =
            MenuBarIconPainter::image(glyph, phase, 22, 1.0, Qt::black)
                .scaled(22 * zoom, 22 * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        painter.drawImage(cell * 5 + 4, top + (cell * 2 - enlarged.height()) / 2, enlarged);
    }
    return out;
}

TEST(MenuBarIconPainterGolden, EachGlyph) {
    EXPECT_TRUE(test::matchesGolden(sheet(Glyph::ready, 1), QStringLiteral("tray-icon-ready")));
    EXPECT_TRUE(test::matchesGolden(sheet(Glyph::working, 4), QStringLiteral("tray-icon-working")));
    EXPECT_TRUE(test::matchesGolden(sheet(Glyph::failed, 1), QStringLiteral("tray-icon-failed")));
}

} // namespace
} // namespace ulmaro
