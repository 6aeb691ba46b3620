// The catalog window, offscreen, with 50 catalogs in the library: the first show to the
// first painted frame, a later show, and choosing a catalog whose root lists 10,000 items.
// The model's listing is made before the clock starts: what is timed is the window's part.
#include "PaintTiming.h"
#include "UiBenchMain.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroAppKit/UI/CatalogWindowController.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace ulmaro {
namespace {

/// A model whose listings are made in advance, one per catalog.
class PreparedModel final : public CatalogBrowsing {
public:
    const CatalogLibrary* library = nullptr;
    std::map<std::string, std::vector<Item>> listings;

    const CatalogEntry* selectedEntry() const override {
        return selectedID.get() ? library->entry(*selectedID.get()) : nullptr;
    }
    void select(const std::optional<std::string>& id) override {
        selectedID.set(id);
        trail.set({});
        highlighted.set(std::nullopt);
        auto found = id ? listings.find(*id) : listings.end();
        items.set(found == listings.end() ? std::vector<Item>{} : found->second);
    }
    void reveal(const std::string&, const std::string& id) override { select(id); }
    void libraryChanged() override {}
    static std::string status(const CatalogEntry& e) {
        return e.currentRoot ? "Connected" : "Offline";
    }
    std::vector<std::string> breadcrumb() const override {
        const CatalogEntry* e = selectedEntry();
        return e ? std::vector<std::string>{e->info.name} : std::vector<std::string>{};
    }
    void goUp() override {}
    void goTo(int) override {}
    void open(const Item&) override {}
    std::optional<std::string> path(const Item&) const override { return std::nullopt; }
};

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
    PreparedModel model;
    RecordingWorkspace workspace;
    InMemorySettingsStore windowSettings;

    Fixture() {
        for (int c = 0; c < 50; ++c) {
            CatalogInfo info;
            info.id = "catalog-" + std::to_string(c);
            info.name = "Drive " + std::to_string(c);
            info.volumeUUID = "uuid-" + std::to_string(c);
            IndexBuilder builder;
            builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
            builder.addEntry("file.txt", 0, RecordFlags{}, 0);
            IndexWriter::write(builder, std::vector<VolumeEntry>{{info.volumeUUID, "/", 0, true}},
                               layout.indexURL(info.id));
            info.write(layout.infoURL(info.id));
        }
        library.reloadAll();
        model.library = &library;
        std::vector<CatalogBrowsing::Item> big;
        for (int i = 0; i < 10'000; ++i)
            big.push_back({std::uint32_t(i + 1), "IMG_" + std::to_string(100000 + i) + ".JPG",
                           false, 2'400'000, 1'700'000'000});
        model.listings["catalog-7"] = std::move(big);
    }

    std::unique_ptr<CatalogWindowController> controller() {
        return std::make_unique<CatalogWindowController>(CatalogWindowController::Dependencies{
            model,
            coordinator,
            mainQueue,
            windowSettings,
            workspace,
            {[](std::uint64_t b) { return formatByteCount(b); },
             [](std::uint32_t s) { return std::to_string(s); },
             [](const CatalogEntry&) { return std::vector<CatalogBrowsing::InfoLine>{}; }},
            PreparedModel::status});
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
        f.model.select("catalog-1");
        QCoreApplication::processEvents();
        const int before = counter.paints;
        if (!timeUntil(
                state, [&] { f.model.select("catalog-7"); },
                [&] { return counter.paints > before; }, "no paint"))
            break;
    }
}

BENCHMARK(BM_FirstShowToFirstPaint)->Apply(bench::manualMilliseconds)->Iterations(10);
BENCHMARK(BM_LaterShowToPaint)->Apply(bench::manualMilliseconds)->Iterations(20);
BENCHMARK(BM_ChooseACatalogOf10000Items)->Apply(bench::manualMilliseconds)->Iterations(20);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    return ulmaro::bench::runUiBenchmarks(argc, argv);
}
