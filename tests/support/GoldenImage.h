#pragma once

// Golden screenshots of views: a widget grabbed at pixel ratio 1 (the Qt test main fixes
// scale, DPI, style and font) is compared with a PNG in the goldens/ folder beside the test
// file that asks (its name as the compiler saw it: test folders compile as one unit, so a
// per-file definition cannot say it).
// Anti-aliasing may differ a little between builds of the libraries, so each channel may
// be off by `channelTolerance` and a few pixels by more. On a mismatch the actual image and
// a diff (differing pixels red over a faded copy of the golden) are written to
// $ULMARO_GOLDEN_FAILURES (default: golden-failures/ in the working folder).
// ULMARO_UPDATE_GOLDENS=1 (scripts/update-goldens) writes the actual images as the new goldens.

#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <source_location>
#include <string>

namespace ulmaro::test {

struct GoldenTolerance {
    int channel = 24;
    /// Share of pixels that may differ beyond `channel`.
    double pixelShare = 0.002;
};

/// The widget as it draws itself, at pixel ratio 1, in a comparable format.
inline QImage grabForGolden(QWidget& widget) {
    widget.ensurePolished();
    if (widget.layout()) widget.layout()->activate();
    QImage image = widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1.0);
    return image;
}

// The goldens/ folder beside the calling test file. A compiler cache may have handed the
// compiler a path relative to the build folder, where the compiler ran.
inline QString goldenDir(const std::source_location& caller) {
    const QString file = QDir(QStringLiteral(ULMARO_COMPILE_DIR))
                             .absoluteFilePath(QString::fromUtf8(caller.file_name()));
    return file.left(file.lastIndexOf(QLatin1Char('/'))) + QStringLiteral("/goldens");
}

inline QString goldenPath(const QString& name,
                          const std::source_location& caller = std::source_location::current()) {
    return goldenDir(caller) + QLatin1Char('/') + name + QStringLiteral(".png");
}

inline ::testing::AssertionResult
matchesGolden(const QImage& actualImage, const QString& name, GoldenTolerance tolerance = {},
              const std::source_location& caller = std::source_location::current()) {
    const QImage actual = actualImage.convertToFormat(QImage::Format_ARGB32);
    if (const char* update = std::getenv("ULMARO_UPDATE_GOLDENS"); update && *update == '1') {
        QDir().mkpath(goldenDir(caller));
        if (!actual.save(goldenPath(name, caller)))
            return ::testing::AssertionFailure()
                   << "cannot write " << goldenPath(name, caller).toStdString();
        return ::testing::AssertionSuccess() << "updated";
    }

    const QImage golden = QImage(goldenPath(name, caller)).convertToFormat(QImage::Format_ARGB32);
    const char* outEnv = std::getenv("ULMARO_GOLDEN_FAILURES");
    const QString outDir = outEnv ? QString::fromUtf8(outEnv) : QStringLiteral("golden-failures");
    auto fail = [&](const std::string& why, const QImage* diff) {
        QDir().mkpath(outDir);
        const QString actualPath = outDir + "/" + name + ".actual.png";
        actual.save(actualPath);
        if (diff) diff->save(outDir + "/" + name + ".diff.png");
        return ::testing::AssertionFailure()
               << name.toStdString() << ": " << why << "; actual written to "
               << QDir(actualPath).absolutePath().toStdString()
               << " (scripts/update-goldens makes it the golden)";
    };
    if (golden.isNull())
        return fail("no golden at " + goldenPath(name, caller).toStdString(), nullptr);
    if (golden.size() != actual.size())
        return fail("size " + std::to_string(actual.width()) + "x" +
                        std::to_string(actual.height()) + ", golden " +
                        std::to_string(golden.width()) + "x" + std::to_string(golden.height()),
                    nullptr);

    QImage diff = golden;
    {
        QPainter fade(&diff);
        fade.fillRect(diff.rect(), QColor(255, 255, 255, 200));
    }
    long long differing = 0;
    int worst = 0;
    for (int y = 0; y < actual.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
        const auto* g = reinterpret_cast<const QRgb*>(golden.constScanLine(y));
        auto* d = reinterpret_cast<QRgb*>(diff.scanLine(y));
        for (int x = 0; x < actual.width(); ++x) {
            const int delta = std::max(
                {std::abs(qRed(a[x]) - qRed(g[x])), std::abs(qGreen(a[x]) - qGreen(g[x])),
                 std::abs(qBlue(a[x]) - qBlue(g[x])), std::abs(qAlpha(a[x]) - qAlpha(g[x]))});
            worst = std::max(worst, delta);
            if (delta > tolerance.channel) {
                ++differing;
                d[x] = qRgba(255, 0, 0, 255);
            }
        }
    }
    const double share = double(differing) / double(actual.width() * actual.height());
    if (share > tolerance.pixelShare)
        return fail(std::to_string(differing) + " pixels differ (largest channel difference " +
                        std::to_string(worst) + ")",
                    &diff);
    return ::testing::AssertionSuccess();
}

} // namespace ulmaro::test
