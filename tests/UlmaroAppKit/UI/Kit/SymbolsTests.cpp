#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "support/GoldenImage.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace ulmaro {
namespace {

struct Ink {
    int pixels = 0;
    int opaque = 0;
    QRgb sample = 0;
};

Ink inkOf(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb p = image.pixel(x, y); qAlpha(p) > 0) {
                ++ink.pixels;
                ink.opaque += qAlpha(p) == 255;
                if (qAlpha(p) > qAlpha(ink.sample)) ink.sample = p;
            }
    return ink;
}

TEST(Symbols, EveryNameIsUniqueAndDrawsSomething) {
    std::set<std::string_view> names;
    for (const Symbols::Entry& entry : Symbols::table()) {
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
        const QPixmap pixmap = Symbols::pixmap(entry.name, 16, Qt::black);
        ASSERT_FALSE(pixmap.isNull()) << entry.name << " (" << entry.file << ".svg)";
        EXPECT_EQ(pixmap.size(), QSize(16, 16));
        EXPECT_GT(inkOf(pixmap).pixels, 10) << entry.name;
    }
}

TEST(Symbols, UnknownNameFails) {
    EXPECT_EQ(Symbols::find("magnifyingglass.fancy"), nullptr);
    EXPECT_TRUE(Symbols::pixmap("magnifyingglass.fancy", 16, Qt::black).isNull());
    EXPECT_TRUE(Symbols::icon("", Qt::black).isNull());
}

// Every name the views ask for: a typo here would draw nothing.
TEST(Symbols, TheNamesTheViewsUseAreInTheTable) {
    for (auto value : QuickFilter::allCases) {
        const std::string_view name = QuickFilter(value).symbol();
        EXPECT_NE(Symbols::find(name), nullptr) << name;
    }
    for (const char* name : {"magnifyingglass",
                             "star",
                             "star.fill",
                             "arrow.up.arrow.down",
                             "checkmark",
                             "exclamationmark.triangle",
                             "sparkle.magnifyingglass",
                             "questionmark.circle",
                             "lock.shield",
                             "xmark",
                             "clock.arrow.circlehalf",
                             "externaldrive.badge.xmark",
                             "doc.on.doc",
                             "folder.badge.questionmark",
                             "clock.arrow.circlepath",
                             "doc",
                             "checkmark.circle.fill",
                             "externaldrive.badge.plus",
                             "externaldrive",
                             "chevron.left",
                             "chevron.right",
                             "folder",
                             "plus",
                             "arrow.clockwise",
                             "square.and.arrow.up",
                             "square.and.arrow.down",
                             "trash",
                             "lock.fill",
                             "folder.badge.minus",
                             "xmark.circle.fill",
                             "minus.circle.fill"})
        EXPECT_NE(Symbols::find(name), nullptr) << name;
}

TEST(Symbols, DrawnInTheAskedColourSizeAndRatio) {
    const Ink red = inkOf(Symbols::pixmap("xmark", 20, QColor(220, 0, 0)));
    EXPECT_GT(qRed(red.sample), 200);
    EXPECT_EQ(qGreen(red.sample), 0);
    EXPECT_EQ(qAlpha(red.sample), 255);

    const Ink faint = inkOf(Symbols::pixmap("xmark", 20, QColor(0, 0, 0, 128)));
    EXPECT_NEAR(qAlpha(faint.sample), 128, 2) << "the colour's alpha applies";

    const QPixmap sharp = Symbols::pixmap("xmark", 20, Qt::black, 2.0);
    EXPECT_EQ(sharp.size(), QSize(40, 40));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(20, 20));
}

TEST(Symbols, StarFillIsTheStarFilled) {
    const int outline = inkOf(Symbols::pixmap("star", 24, Qt::black)).opaque;
    const int filled = inkOf(Symbols::pixmap("star.fill", 24, Qt::black)).opaque;
    EXPECT_GT(filled, outline * 2);
    const QImage image = Symbols::pixmap("star.fill", 24, Qt::black).toImage();
    EXPECT_EQ(qAlpha(image.pixel(12, 13)), 255) << "the middle is ink";
    EXPECT_EQ(qAlpha(Symbols::pixmap("star", 24, Qt::black).toImage().pixel(12, 13)), 0);
}

TEST(Symbols, CachedPerNameSizeAndColour) {
    const QPixmap a = Symbols::pixmap("folder", 14, Qt::blue);
    EXPECT_EQ(a.cacheKey(), Symbols::pixmap("folder", 14, Qt::blue).cacheKey());
    EXPECT_NE(a.cacheKey(), Symbols::pixmap("folder", 15, Qt::blue).cacheKey());
    EXPECT_NE(a.cacheKey(), Symbols::pixmap("folder", 14, Qt::red).cacheKey());
}

// The whole table at the sizes the panel uses, to look at.
TEST(SymbolsGolden, Sheet) {
    const auto entries = Symbols::table();
    const int columns = 8;
    const int rows = int(entries.size() + columns - 1) / columns;
    QImage sheet(columns * 40, rows * 40, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int x = int(i % columns) * 40;
        const int y = int(i / columns) * 40;
        painter.drawPixmap(x + 4, y + 4, Symbols::pixmap(entries[i].name, 22, Qt::black));
        painter.drawPixmap(x + 26, y + 26,
                           Symbols::pixmap(entries[i].name, 11, QColor(0, 90, 200)));
    }
    painter.end();
    EXPECT_TRUE(test::matchesGolden(sheet, QStringLiteral("symbols")));
}

TEST(Theme, TextLevelsAreThePalettesTextAtFixedOpacities) {
    QPalette light;
    light.setColor(QPalette::WindowText, QColor(10, 20, 30));
    light.setColor(QPalette::Window, QColor(240, 240, 240));
    const struct {
        Theme::Level level;
        double alpha;
    } cases[] = {{Theme::Level::primary, 0.85},
                 {Theme::Level::secondary, 0.5},
                 {Theme::Level::tertiary, 0.26},
                 {Theme::Level::quaternary, 0.1}};
    for (const auto& c : cases) {
        const QColor color = Theme::text(c.level, light);
        EXPECT_EQ(color.rgb(), QColor(10, 20, 30).rgb());
        EXPECT_NEAR(color.alphaF(), c.alpha, 0.005);
    }
    EXPECT_NEAR(Theme::primaryTint(0.07, light).alphaF(), 0.07, 0.005);
    EXPECT_FALSE(Theme::isDark(light));

    QPalette dark;
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    EXPECT_TRUE(Theme::isDark(dark));
    EXPECT_EQ(Theme::text(Theme::Level::secondary, dark).rgb(), QColor(Qt::white).rgb());
}

TEST(Theme, FontsArePixelSizedInThePlatformFamily) {
    const QFont medium = Theme::font(13, Theme::Weight::medium);
    EXPECT_EQ(medium.pixelSize(), 13);
    EXPECT_EQ(medium.weight(), QFont::Medium);
    EXPECT_EQ(medium.family(), QApplication::font().family());
    EXPECT_EQ(Theme::font(15, Theme::Weight::semibold, Theme::Design::rounded).family(),
              QApplication::font().family());
    EXPECT_NE(Theme::font(11, Theme::Weight::regular, Theme::Design::monospaced).family(),
              QApplication::font().family());
    EXPECT_EQ(Theme::accent(0.85).rgb(), QApplication::palette().color(QPalette::Highlight).rgb());
}

} // namespace
} // namespace ulmaro
