// The folder browser's list, offscreen, from a new listing to its painted rows and for a
// page of scrolling, in a folder of 100,000 children against one of 200. The model's own
// listing is made before the clock starts: what is timed is what the view adds to it.
#include "PaintTiming.h"
#include "UiBenchMain.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroAppKit/UI/CatalogBrowserView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace ulmaro {
namespace {

/// A model whose listing is handed in ready-made.
class ListingModel final : public CatalogBrowsing {
public:
    CatalogEntry entry;
    const CatalogEntry* selectedEntry() const override { return &entry; }
    void select(const std::optional<std::string>&) override {}
    void reveal(const std::string&, const std::string&) override {}
    void libraryChanged() override {}
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

using bench::PaintCounter;
using bench::timeUntil;

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
};

void BM_NewListingToPaintedList(benchmark::State& state) {
    Browser browser;
    const auto items = listing(int(state.range(0)));
    for (auto _ : state) {
        auto copy = items;
        browser.model.items.set({});
        QCoreApplication::processEvents();
        const int before = browser.counter.paints;
        if (!timeUntil(
                state, [&] { browser.model.items.set(std::move(copy)); },
                [&] { return browser.counter.paints > before; }, "the list never painted"))
            break;
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
    ->Apply(bench::manualMilliseconds)
    ->Iterations(20);
BENCHMARK(BM_ScrollOnePage)
    ->Arg(200)
    ->Arg(100'000)
    ->Apply(bench::manualMilliseconds)
    ->Iterations(50);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
