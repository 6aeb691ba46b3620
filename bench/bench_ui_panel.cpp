// The panel's two promises to the eye, offscreen: from show() of the hidden panel to its
// first finished paint with the keyboard in the field (one 16 ms frame), and a 24-megapixel
// JPEG from the preview's request to its first image on screen (150 ms). The offscreen
// platform does not activate a window shown a second time, so "the keyboard in the field"
// is the field being the window's focus widget.
#include "PaintProbe.h"
#include "UiBenchMain.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace ulmaro {
namespace {

constexpr qint64 limitMs = 10'000;

bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer limit;
    limit.start();
    while (!done()) {
        if (limit.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void BM_PanelShowToFirstPaint(benchmark::State& state) {
    auto panel = std::make_shared<OverlayPanel>();
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* field = new QLineEdit(content);
    layout->addWidget(field);
    for (const char* row : {"notes.txt", "photo.png", "Projects", "report.pdf", "build.sh"})
        layout->addWidget(new QLabel(QString::fromUtf8(row), content));
    auto* probe = new PaintProbe(content);
    probe->setFixedHeight(4);
    layout->addWidget(probe);
    panel->setContent(content);

    QtMainQueue mainQueue;
    InMemorySettingsStore settings;
    OverlayPanelController controller(panel, std::make_shared<NoFrontmostAppTracking>(),
                                      std::make_shared<SettingsPanelPositionStore>(settings),
                                      mainQueue);
    for (auto _ : state) {
        controller.dismiss(false);
        field->clearFocus();
        QCoreApplication::processEvents();
        probe->painted = false;
        QElapsedTimer timer;
        timer.start();
        controller.show(false);
        if (!spinUntil([&] { return probe->painted && panel->focusWidget() == field; })) {
            state.SkipWithError(probe->painted ? "the field never got the keyboard"
                                               : "the panel never painted");
            break;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

void BM_Preview24MegapixelJpeg(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.jpg"));
    {
        QImage image(6000, 4000, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, 6000, 4000);
        gradient.setColorAt(0, Qt::darkBlue);
        gradient.setColorAt(1, Qt::yellow);
        painter.fillRect(image.rect(), gradient);
        for (int i = 0; i < 200; ++i)
            painter.fillRect((i * 997) % 5800, (i * 613) % 3800, 200, 200,
                             QColor::fromHsv(i, 200, 220));
        painter.end();
        if (!image.save(path, "JPEG", 90)) {
            state.SkipWithError("cannot write the JPEG");
            return;
        }
    }
    PreviewWindow window;
    const std::string bytes = path.toStdString();
    window.pathProvider = [&] { return std::optional(bytes); };
    bool shown = false;
    QObject::connect(&window, &PreviewWindow::contentShown, [&] { shown = true; });
    window.QWidget::show();
    for (auto _ : state) {
        shown = false;
        QElapsedTimer timer;
        timer.start();
        window.reload();
        if (!spinUntil([&] { return shown; })) {
            state.SkipWithError("the preview never showed");
            break;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

BENCHMARK(BM_PanelShowToFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Preview24MegapixelJpeg)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
