// The folder browser's list, offscreen, from a new listing to its painted rows and for a
// page of scrolling, in a folder of 100,000 children against one of 200. The model's own
// listing is made before the clock starts: what is timed is what the view adds to it.
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroAppKit/UI/CatalogBrowserView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace ulmaro {
namespace {

/// A model whose listing is handed in ready-made.
class ListingModel final : public CatalogBrowsing {
public:
    CatalogEntry entry;
    const CatalogEntry* selectedEntry() const override { return &entry; }
    std::vector<std::string> breadcrumb() const override { return {"Camera", "DCIM"}; }
    void goUp() override {}
    void goTo(int) override {}
    void open(const Item&) override {}
    std::optional<std::string> path(const Item&) const override { return std::nullopt; }
};

std::vector<CatalogBrowsing::Item> listing(int count) {
    std::vector<CatalogBrowsing::Item> items;
    items.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%06d.JPG", i);
        items.push_back({std::uint32_t(i + 1), name, false, 2'400'000 + std::uint64_t(i),
                         1'700'000'000u + std::uint32_t(i)});
    }
    return items;
}

/// Counts the list's finished paints.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

struct Browser {
    ListingModel model;
    RecordingWorkspace workspace;
    CatalogBrowserView view;
    PaintCounter counter;
    Browser()
        : view(model, workspace,
               {[](std::uint64_t bytes) { return formatByteCount(bytes); },
                [](std::uint32_t seconds) { return std::to_string(seconds); },
                [](const CatalogEntry&) { return std::vector<CatalogBrowsing::InfoLine>{}; }}) {
        model.entry.info.name = "Camera";
        view.resize(900, 560);
        view.show();
        view.list().viewport()->installEventFilter(&counter);
        QCoreApplication::processEvents();
    }
    bool paintAfter(int before) {
        QElapsedTimer limit;
        limit.start();
        while (counter.paints == before) {
            if (limit.elapsed() > 10'000) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        return true;
    }
};

void BM_NewListingToPaintedList(benchmark::State& state) {
    Browser browser;
    const auto items = listing(int(state.range(0)));
    for (auto _ : state) {
        auto copy = items;
        browser.model.items.set({});
        QCoreApplication::processEvents();
        const int before = browser.counter.paints;
        QElapsedTimer timer;
        timer.start();
        browser.model.items.set(std::move(copy));
        if (!browser.paintAfter(before)) {
            state.SkipWithError("the list never painted");
            break;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

void BM_ScrollOnePage(benchmark::State& state) {
    Browser browser;
    browser.model.items.set(listing(int(state.range(0))));
    QCoreApplication::processEvents();
    QScrollBar& bar = *browser.view.list().verticalScrollBar();
    for (auto _ : state) {
        if (bar.value() + bar.pageStep() > bar.maximum()) bar.setValue(0);
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        bar.setValue(bar.value() + bar.pageStep());
        browser.view.list().viewport()->repaint();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

BENCHMARK(BM_NewListingToPaintedList)
    ->Arg(200)
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ScrollOnePage)
    ->Arg(200)
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
