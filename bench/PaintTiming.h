#pragma once

// Timing a view up to its next paint, for the view benchmarks.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <benchmark/benchmark.h>
#include <functional>

namespace ulmaro::bench {

/// Counts the paint events of the widgets it watches.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

/// Runs `act`, then the event loop until `done`, as one iteration's manual time; false (and
/// the benchmark skipped with `failure`) when `done` never comes within 10 s.
inline bool timeUntil(benchmark::State& state, const std::function<void()>& act,
                      const std::function<bool()>& done, const char* failure) {
    QElapsedTimer timer;
    timer.start();
    act();
    while (!done()) {
        if (timer.elapsed() > 10'000) {
            state.SkipWithError(failure);
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    return true;
}

/// How the view benchmarks report: manual time in milliseconds, medians of 5 repetitions.
inline void manualMilliseconds(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

} // namespace ulmaro::bench
