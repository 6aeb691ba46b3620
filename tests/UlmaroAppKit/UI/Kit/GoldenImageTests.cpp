#include "support/GoldenImage.h"
#include "support/TempDir.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

// The comparison itself, against the symbol sheet's golden.
TEST(GoldenImage, ToleratesSmallDifferencesAndReportsLargeOnes) {
    if (std::getenv("ULMARO_UPDATE_GOLDENS")) GTEST_SKIP();
    test::TempDir dir;
    test::ScopedEnv out("ULMARO_GOLDEN_FAILURES", dir.path().string());
    const QImage golden(test::goldenPath(QStringLiteral("symbols")));
    ASSERT_FALSE(golden.isNull());

    QImage nudged = golden.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < nudged.width(); ++x) {
        const QRgb p = nudged.pixel(x, 0);
        nudged.setPixel(x, 0, qRgba(qRed(p) ^ 8, qGreen(p), qBlue(p), qAlpha(p)));
    }
    EXPECT_TRUE(test::matchesGolden(nudged, QStringLiteral("symbols")));

    QImage changed = nudged;
    QPainter(&changed).fillRect(0, 0, 40, 40, Qt::red);
    EXPECT_FALSE(test::matchesGolden(changed, QStringLiteral("symbols")));
    const QString base = QString::fromStdString(dir.path().string()) + "/symbols";
    EXPECT_TRUE(QFile::exists(base + ".actual.png"));
    const QImage diff(base + ".diff.png");
    ASSERT_FALSE(diff.isNull());
    EXPECT_EQ(diff.pixel(20, 20), qRgba(255, 0, 0, 255));
    EXPECT_NE(diff.pixel(200, 100), qRgba(255, 0, 0, 255));

    EXPECT_FALSE(test::matchesGolden(changed.copy(0, 0, 10, 10), QStringLiteral("symbols")));
}

} // namespace
} // namespace ulmaro
