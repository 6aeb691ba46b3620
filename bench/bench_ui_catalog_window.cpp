// The catalog window, offscreen, with 50 catalogs in the library: the first show to the
// first painted frame, a later show, and choosing a catalog whose root lists 10,000 items.
// Choosing a catalog times the model's listing with the window's part; the model's listing
// alone is timed beside it.
#include "NoChooser.h"
#include "PaintTiming.h"
#include "UiBenchMain.h"
#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogWindowController.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace ulmaro {
namespace {

using bench::NoChooser;

using bench::PaintCounter;
using bench::timeUntil;

struct Fixture {
    QTemporaryDir dir;
    CatalogLayout layout{std::filesystem::path(dir.path().toStdString()) / "Catalogs"};
    CatalogLibrary library{layout};
    std::shared_ptr<InMemorySettingsStore> settings = std::make_shared<InMemorySettingsStore>();
    Preferences preferences{settings};
    ManualMainQueue mainQueue;
    ManualClock clock;
    ManualSerialQueueFactory queues;
    CatalogCoordinator coordinator{library, preferences,
                                   [] { return std::vector<MountedVolume>{}; }, 86400.0,
                                   CatalogCoordinator::Dependencies{mainQueue, clock, queues}};
    RecordingWorkspace workspace;
    NoChooser chooser;
    CoordinatorTransfers transfers{coordinator};
    InMemorySettingsStore windowSettings;

    Fixture() {
        for (int c = 0; c < 50; ++c) {
            CatalogInfo info;
            info.id = "catalog-" + std::to_string(c);
            info.name = "Drive " + std::to_string(c);
            info.volumeUUID = "uuid-" + std::to_string(c);
            info.rootRecordID = 0;
            IndexBuilder builder;
            builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
            builder.addEntry("file.txt", 0, RecordFlags{}, 0);
            // One catalog whose root holds a big folder's worth of items.
            for (int i = 0; c == 7 && i < 10'000; ++i)
                builder.setAttributes(builder.addEntry("IMG_" + std::to_string(100000 + i) + ".JPG",
                                                       0, RecordFlags{}, 0),
                                      2'400'000, 1'700'000'000);
            IndexWriter::write(builder, std::vector<VolumeEntry>{{info.volumeUUID, "/", 0, true}},
                               layout.indexURL(info.id));
            info.write(layout.infoURL(info.id));
        }
        library.reloadAll();
    }

    std::unique_ptr<CatalogWindowController> controller() {
        return std::make_unique<CatalogWindowController>(CatalogWindowController::Dependencies{
            coordinator, mainQueue, windowSettings, workspace, chooser, transfers});
    }
};

void BM_FirstShowToFirstPaint(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        auto controller = f.controller();
        PaintCounter counter;
        auto show = [&] {
            controller->show(std::nullopt, std::nullopt);
            controller->window()->installEventFilter(&counter);
        };
        if (!timeUntil(
                state, show, [&] { return counter.paints > 0; }, "no paint"))
            break;
        controller->window()->removeEventFilter(&counter);
    }
}

void BM_LaterShowToPaint(benchmark::State& state) {
    Fixture f;
    auto controller = f.controller();
    controller->show(std::nullopt, std::nullopt);
    PaintCounter counter;
    controller->window()->installEventFilter(&counter);
    for (auto _ : state) {
        controller->window()->hide();
        QCoreApplication::processEvents();
        const int before = counter.paints;
        if (!timeUntil(
                state, [&] { controller->show(std::nullopt, std::nullopt); },
                [&] { return counter.paints > before; }, "no paint"))
            break;
    }
}

void BM_ChooseACatalogOf10000Items(benchmark::State& state) {
    Fixture f;
    auto controller = f.controller();
    controller->show("catalog-1", std::nullopt);
    QCoreApplication::processEvents();
    PaintCounter counter;
    controller->window()->installEventFilter(&counter);
    for (auto _ : state) {
        controller->model().select("catalog-1");
        QCoreApplication::processEvents();
        const int before = counter.paints;
        if (!timeUntil(
                state, [&] { controller->model().select("catalog-7"); },
                [&] { return counter.paints > before; }, "no paint"))
            break;
    }
    state.counters["items"] = double(controller->model().items.get().size());
}

// The model's own part of the choice above: its listing of the same catalog, no window.
void BM_ModelListingOf10000Items(benchmark::State& state) {
    Fixture f;
    CatalogBrowserModel model(f.library);
    for (auto _ : state) {
        model.select("catalog-1");
        QElapsedTimer timer;
        timer.start();
        model.select("catalog-7");
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["items"] = double(model.items.get().size());
}

BENCHMARK(BM_FirstShowToFirstPaint)->Apply(bench::manualMilliseconds)->Iterations(10);
BENCHMARK(BM_LaterShowToPaint)->Apply(bench::manualMilliseconds)->Iterations(20);
BENCHMARK(BM_ChooseACatalogOf10000Items)->Apply(bench::manualMilliseconds)->Iterations(20);
BENCHMARK(BM_ModelListingOf10000Items)->Apply(bench::manualMilliseconds)->Iterations(20);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
