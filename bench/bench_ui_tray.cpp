// The tray's cost on the road of every progress report of the first index build: an
// update whose menu is unchanged builds and compares the menu and redraws icon and tooltip
// (goal: under 50 µs); a changed one also refills the QMenu. Offscreen, with the real
// TrayStatusItem; timers are virtual, so no animation frame runs in between.
#include "UiBenchMain.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/MenuBar/MenuBarController.h"
#include "UlmaroAppKit/UI/MenuBar/TrayStatusItem.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace ulmaro {
namespace {

using VM = MenuBarViewModel;

struct Tray {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<TrayStatusItem> item = std::make_shared<TrayStatusItem>();
    MenuBarController controller{item,
                                 {.timers = clock,
                                  .clock = clock,
                                  .workspace = std::make_shared<RecordingWorkspace>(),
                                  .homeFolder = "/home/ada"},
                                 {}};

    // A full menu: health lines, unreadable folders, saved searches and catalogs.
    VM viewModel(std::int64_t filesSoFar) const {
        VM vm{.indexState = VM::Indexing{filesSoFar},
              .recentSearches = {{"report", 12, clock->now()}},
              .savedSearches = {{"Photos", "kind:image"},
                                {"Notes", "ext:md"},
                                {"Big files", "size:>1gb"}},
              .deniedDirectories = 3,
              .deniedPaths = {"/home/ada/a", "/home/ada/b", "/srv/c"},
              .catalogs = {{"1", "Backup", true, false, false},
                           {"2", "Travel", false, false, false}}};
        IndexHealth health;
        health.isLoaded = true;
        health.fileCount = 1'234'567;
        health.indexBytes = 45'000'000;
        health.footprintBytes = 80'000'000;
        health.lastIndexed = clock->now();
        vm.health = health;
        return vm;
    }
};

void BM_TrayUpdateUnchangedMenu(benchmark::State& state) {
    Tray tray;
    std::int64_t files = 0;
    tray.controller.update(tray.viewModel(files));
    for (auto _ : state)
        tray.controller.update(tray.viewModel(files += 1000));
}
BENCHMARK(BM_TrayUpdateUnchangedMenu)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_TrayUpdateChangedMenu(benchmark::State& state) {
    Tray tray;
    std::int64_t files = 0;
    for (auto _ : state) {
        VM vm = tray.viewModel(files += 1000);
        vm.startAtLogin = files % 2000 == 0 ? LoginItemViewModel::DisplayState::on
                                            : LoginItemViewModel::DisplayState::off;
        tray.controller.update(vm);
        // The old submenus go with the next turn of the event loop, as in the application.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
BENCHMARK(BM_TrayUpdateChangedMenu)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
