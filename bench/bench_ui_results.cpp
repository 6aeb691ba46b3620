// The result list's costs, offscreen. A key into the field until the rows have painted,
// with an engine that answers at once (aim: under 8 ms beyond the engine's time). An outcome
// of 200 rows reaching the main thread until the list has painted (apply, model reset,
// layout, paint of the visible rows) — one 16 ms frame at most, aim under 4 ms. And a page
// of scrolling through 10,000 rows against 200: only the visible rows are laid out and
// painted, so both cost the same.
#include "UiBenchMain.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSettleScheduler.h"
#include "UlmaroAppKit/Fakes/RecordingResultActions.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Search/SearchEngineProtocol.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"
#include "UlmaroAppKit/UI/Panel/ResultArea.h"
#include "UlmaroAppKit/UI/Panel/ResultListView.h"
#include "UlmaroAppKit/UI/Panel/SearchField.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace ulmaro {
namespace {

/// An engine that answers at once, on the caller's thread, with the same rows.
class InstantEngine final : public SearchEngineProtocol {
public:
    std::vector<RankedRow> answer;
    std::int64_t search(std::string, SearchCompletion completion) override {
        completion(SearchOutcome::results(answer, 200, 0.001), ++generation_);
        return generation_;
    }
    void findCopies(std::uint32_t, std::string, CopiesCompletion) override {}

private:
    std::int64_t generation_ = 0;
};

/// An engine that never answers: the benchmark hands the outcomes in itself.
class SilentEngine final : public SearchEngineProtocol {
public:
    std::int64_t search(std::string, SearchCompletion) override { return ++generation_; }
    void findCopies(std::uint32_t, std::string, CopiesCompletion) override {}

private:
    std::int64_t generation_ = 0;
};

std::vector<RankedRow> rows(int count, int salt) {
    const char* extensions[] = {".txt", ".pdf", ".jpg", ".cpp", ".md", ".odt", ".png", ".zip"};
    std::vector<RankedRow> out;
    out.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        RankedRow row;
        row.id = std::uint32_t(i + 1);
        row.name = "report-" + std::to_string(i + salt) + extensions[i % 8];
        row.path = "/home/ana/Documents/Projects/" + std::to_string(i % 37) + "/" + row.name;
        row.matchRanges = {{0, 6}};
        if (i % 5 == 0) row.contentMatch = ContentSearcher::Hit{row.path, i, "the report line"};
        out.push_back(std::move(row));
    }
    return out;
}

struct Panel {
    std::shared_ptr<ManualMainQueue> queue = std::make_shared<ManualMainQueue>();
    std::shared_ptr<OverlayViewModel> model = OverlayViewModel::create(
        std::make_shared<SilentEngine>(), [](const std::string&) {}, false, nullptr,
        std::make_shared<ManualSettleScheduler>(), 1.2, std::make_shared<RecordingResultActions>(),
        queue, std::make_shared<ManualClock>());
    OverlayPanel panel;
    OverlayView* view = new OverlayView(model, nullptr, {});

    Panel() {
        panel.setContent(view);
        panel.show();
        model->updateQuery("report");
        QCoreApplication::processEvents();
    }
    ResultListView& list() { return *view->resultArea()->list(); }
    /// The outcome as the engine's answer brings it, then everything up to the painted window.
    void applyAndPaint(std::vector<RankedRow> shown, std::int64_t generation) {
        model->apply(SearchOutcome::results(std::move(shown), 200, 0.01), generation);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        panel.repaint();
    }
};

void BM_OutcomeToPaintedList(benchmark::State& state) {
    Panel p;
    const auto first = rows(200, 0);
    const auto second = rows(200, 7);
    std::int64_t generation = 1;
    bool flip = false;
    for (auto _ : state) {
        // Every outcome belongs to the newest search, as the last keystroke's does.
        p.model->updateQuery(flip ? "repo" : "report");
        ++generation;
        auto shown = flip ? first : second;
        flip = !flip;
        QElapsedTimer timer;
        timer.start();
        p.applyAndPaint(std::move(shown), generation);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

void BM_ScrollOnePage(benchmark::State& state) {
    Panel p;
    p.model->updateQuery("reports");
    p.applyAndPaint(rows(int(state.range(0)), 0), 2);
    QScrollBar* bar = p.list().verticalScrollBar();
    for (auto _ : state) {
        const int next =
            bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep();
        QElapsedTimer timer;
        timer.start();
        bar->setValue(next);
        p.panel.repaint();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

// A key into the field until the list has painted, the engine's answer costing nothing.
void BM_KeystrokeToPaintedRows(benchmark::State& state) {
    auto engine = std::make_shared<InstantEngine>();
    engine->answer = rows(200, 0);
    auto queue = std::make_shared<ManualMainQueue>();
    auto model = OverlayViewModel::create(
        engine, [](const std::string&) {}, false, nullptr,
        std::make_shared<ManualSettleScheduler>(), 1.2, std::make_shared<RecordingResultActions>(),
        queue, std::make_shared<ManualClock>());
    OverlayPanel panel;
    auto* view = new OverlayView(model, nullptr, {});
    panel.setContent(view);
    panel.show();
    QCoreApplication::processEvents();
    QWidget* field = view->header()->field();
    bool append = true;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, append ? Qt::Key_R : Qt::Key_Backspace, Qt::NoModifier,
                        append ? QStringLiteral("r") : QString());
        QCoreApplication::sendEvent(field, &press);
        queue->drain();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        panel.repaint();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        // Never down to an empty field, which would go idle instead of searching.
        append = model->queryText.get().size() < 2 || !append;
    }
}

BENCHMARK(BM_KeystrokeToPaintedRows)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OutcomeToPaintedList)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ScrollOnePage)
    ->Arg(200)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
