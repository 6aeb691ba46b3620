// The folder browser's list, offscreen, from a new listing to its painted rows and for a
// page of scrolling, in a folder of 100,000 children against one of 200, over the browser
// model on a catalog written to disk. Opening the folder times the model's sorted listing
// and what the view adds to it.
#include "PaintTiming.h"
#include "SyntheticIndex.h"
#include "UiBenchMain.h"
#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogBrowserView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace ulmaro {
namespace {

/// A library of one catalog, "Camera", whose root holds "DCIM" of `count` photos with
/// synthetic names.
struct CameraLibrary {
    QTemporaryDir dir;
    CatalogLayout layout{std::filesystem::path(dir.path().toStdString()) / "Catalogs"};
    CatalogLibrary library{layout};

    explicit CameraLibrary(std::size_t count) {
        CatalogInfo info;
        info.id = "camera";
        info.name = "Camera";
        info.volumeUUID = "uuid-camera";
        info.lastMountPath = "/media/Camera";
        info.rootRecordID = 0;
        IndexBuilder builder;
        builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        const std::uint32_t dcim = builder.addEntry("DCIM", 0, RecordFlags::isDirectory, 0);
        bench::SyntheticNames names(7);
        for (std::size_t i = 0; i < count; ++i)
            builder.setAttributes(builder.addEntry(names.fileName(), dcim, RecordFlags{}, 0),
                                  2'400'000 + i, 1'700'000'000u + std::uint32_t(i));
        IndexWriter::write(builder,
                           std::vector<VolumeEntry>{{info.volumeUUID, info.lastMountPath, 0, true}},
                           layout.indexURL(info.id));
        info.write(layout.infoURL(info.id));
        library.reloadAll();
    }
};

using bench::PaintCounter;
using bench::timeUntil;

struct Browser {
    CameraLibrary camera;
    CatalogBrowserModel model{camera.library};
    RecordingWorkspace workspace;
    CatalogBrowserView view{model, workspace, CatalogBrowserView::modelTexts()};
    PaintCounter counter;
    explicit Browser(std::size_t count) : camera(count) {
        model.select("camera");
        view.resize(900, 560);
        view.show();
        view.list().viewport()->installEventFilter(&counter);
        QCoreApplication::processEvents();
    }
    void openDCIM() { model.open(model.items.get().front()); }
};

void BM_OpenToPaintedList(benchmark::State& state) {
    const ScopedUserLocale locale("en_US");
    Browser browser(std::size_t(state.range(0)));
    for (auto _ : state) {
        browser.model.goTo(0);
        QCoreApplication::processEvents();
        const int before = browser.counter.paints;
        if (!timeUntil(
                state, [&] { browser.openDCIM(); }, [&] { return browser.counter.paints > before; },
                "the list never painted"))
            break;
    }
    state.counters["items"] = double(browser.model.items.get().size());
}

void BM_ScrollOnePage(benchmark::State& state) {
    const ScopedUserLocale locale("en_US");
    Browser browser(std::size_t(state.range(0)));
    browser.openDCIM();
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

BENCHMARK(BM_OpenToPaintedList)
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
