// The first build as the first-run panel shows it, offscreen: 20 progress reports a second
// for 10 s while the mark spins. Reported: the main thread's processor time against the
// wall clock (the goal is under 5 % of one core), and how often each part of the panel
// painted per report (only the count, the percent line and the mark should, with the
// panel's background under them, since the panel is translucent), and what share of the
// view that is.
#include "UiBenchMain.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/UI/Onboarding/BrandMarkView.h"
#include "UlmaroAppKit/UI/Onboarding/CountingLabel.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingPages.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPaintEvent>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

namespace ulmaro {
namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

/// Counts paint events by the kind of widget that got them.
class PaintCounter final : public QObject {
public:
    std::map<std::string, int> paints;
    /// The largest rectangle any widget repainted.
    double largest = 0;
    QLabel* percent = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            std::string kind = watched->metaObject()->className();
            if (watched == percent) kind = "percent line";
            ++paints[kind];
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                largest = std::max(largest, double(r.width()) * r.height());
        }
        return false;
    }
};

void BM_FirstBuildProgress(benchmark::State& state) {
    const int seconds = int(state.range(0));
    auto store = std::make_shared<InMemorySettingsStore>();
    OnboardingViewModel model(true, store, true, {}, {});
    model.expectedTotal.set(2'000'000);
    model.step.set(OnboardingStep::indexing);
    OnboardingStepView view(model, {}, {});
    view.resize(680, 406);
    view.show();
    auto* page = qobject_cast<OnboardingPages::Indexing*>(view.page());
    if (!page) {
        state.SkipWithError("no indexing page");
        return;
    }
    PaintCounter counter;
    counter.percent = &page->percent();
    for (auto* widget : view.findChildren<QWidget*>())
        widget->installEventFilter(&counter);
    QCoreApplication::processEvents();

    for (auto _ : state) {
        counter.paints.clear();
        counter.largest = 0;
        std::int64_t found = 0;
        int reports = 0;
        QTimer progress;
        progress.setInterval(50);
        QObject::connect(&progress, &QTimer::timeout, [&] {
            found += 1'237;
            ++reports;
            model.applyIndexingProgress(found);
        });
        QElapsedTimer wall;
        const double cpuStart = threadSeconds();
        wall.start();
        progress.start();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        progress.stop();
        const double cpu = threadSeconds() - cpuStart;
        const double elapsed = double(wall.nsecsElapsed()) / 1e9;
        state.SetIterationTime(cpu);
        state.counters["busy_%"] = 100.0 * cpu / elapsed;
        state.counters["reports"] = reports;
        // Against the whole view's 680 × 406: the largest area repainted at once (the
        // count's line, with the panel's background under it).
        state.counters["largest_repaint_%"] = 100.0 * counter.largest / (680.0 * 406.0);
        for (const auto& [kind, count] : counter.paints)
            state.counters["paints/report " + kind] = double(count) / std::max(reports, 1);
    }
}
BENCHMARK(BM_FirstBuildProgress)
    ->Arg(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
