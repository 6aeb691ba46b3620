// The settings window, offscreen: a toggle from the click to the event loop (the store, the
// shell's callback and the change notice included; the settings file is written later on a
// serial queue), and the first show to the first finished paint, cloud detection included.
#include "NoChooser.h"
#include "UiBenchMain.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/UI/Settings/SettingsView.h"
#include "UlmaroAppKit/UI/Settings/SettingsWindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace ulmaro {
namespace {

using bench::NoChooser;

/// A home with a few cloud folders, and the settings in a real file.
struct Settings {
    QTemporaryDir dir;
    ThreadSerialQueueFactory queues;
    std::shared_ptr<JsonFileSettingsStore> store;
    std::shared_ptr<Preferences> preferences;
    int callbacks = 0;

    Settings() {
        for (const char* folder : {"home/Dropbox", "home/OneDrive", "home/Documents"})
            QDir(dir.path()).mkpath(QString::fromUtf8(folder));
        store = std::make_shared<JsonFileSettingsStore>(
            (dir.path() + QStringLiteral("/settings.json")).toStdString(), queues);
        preferences = std::make_shared<Preferences>(store);
        preferences->setUserExclusions({"/srv/a", "/srv/b", "/home/ada/.cache"});
    }
    SettingsForm::Environment environment() {
        return {.controller = SettingsWindowController::create(
                    preferences, [this] { ++callbacks; }, [this] { ++callbacks; }),
                .chooser = std::make_shared<NoChooser>(),
                .home = (dir.path() + QStringLiteral("/home")).toStdString()};
    }
};

void BM_SettingsToggleToEventLoop(benchmark::State& state) {
    Settings settings;
    InMemorySettingsStore frames;
    SettingsWindow window(frames, settings.environment());
    window.show();
    QCoreApplication::processEvents();
    QCheckBox& toggle = window.view()->searchThisComputer();
    for (auto _ : state) {
        toggle.click();
        state.PauseTiming();
        QCoreApplication::processEvents(); // rows shown, old ones deleted
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    settings.store->flush();
}
BENCHMARK(BM_SettingsToggleToEventLoop)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

class PaintWatch final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

void BM_SettingsFirstShowToPaint(benchmark::State& state) {
    Settings settings;
    for (auto _ : state) {
        InMemorySettingsStore frames;
        QElapsedTimer timer;
        timer.start();
        SettingsWindow window(frames, settings.environment());
        window.show();
        PaintWatch watch;
        window.window()->installEventFilter(&watch);
        while (!watch.painted && timer.elapsed() < 10'000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        window.window()->removeEventFilter(&watch);
    }
}
BENCHMARK(BM_SettingsFirstShowToPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
