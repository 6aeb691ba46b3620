// EFU import throughput over a generated list of 1,000,000 rows: the parse alone, the
// import's background part (map, parse, hash, write the index) and its main-thread part
// (install into the library: rename, "info.json", the library's reload).
#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Catalogs/EFUImporter.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <random>
#include <string>

namespace {

std::string generatedList(int rows) {
    std::mt19937 rng(7);
    std::string csv = "Filename,Size,Date Modified,Attributes\r\n";
    csv.reserve(static_cast<std::size_t>(rows) * 70);
    int folder = 0;
    for (int i = 0; i < rows; ++i) {
        if (i % 40 == 0) folder = static_cast<int>(rng() % 5000);
        csv += "C:\\Users\\ann\\Projects\\p" + std::to_string(folder / 100) + "\\d" +
               std::to_string(folder) + "\\file" + std::to_string(i) + ".dat," +
               std::to_string(rng() % 1000000) + ",13347532" +
               std::to_string(1000000000 + i % 1000) + ",32\r\n";
    }
    return csv;
}

void BM_ImportMillionRows(benchmark::State& state) {
    static const std::string csv = generatedList(1000000);
    std::span<const unsigned char> bytes(reinterpret_cast<const unsigned char*>(csv.data()),
                                         csv.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(ulmaro::EFUImporter::build(bytes));
    state.counters["rows/s"] =
        benchmark::Counter(1000000, benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(csv.size()));
}
BENCHMARK(BM_ImportMillionRows)->Unit(benchmark::kMillisecond);

const std::filesystem::path& listFile() {
    static ulmaro::test::TempDir dir;
    static const std::filesystem::path path = [] {
        const auto file = dir / "list.efu";
        std::ofstream(file, std::ios::binary) << generatedList(1000000);
        return file;
    }();
    return path;
}

/// A coordinator over an empty catalogs folder of its own; only the transfer steps run.
struct Importer {
    ulmaro::test::TempDir dir;
    // Forgetting deletes: a benchmark must not fill the user's Trash.
    ulmaro::CatalogLibrary library{ulmaro::CatalogLayout(dir / "Catalogs"),
                                   ulmaro::CatalogLibrary::fileExists,
                                   [](const std::filesystem::path& folder) {
                                       std::filesystem::remove_all(folder);
                                       return true;
                                   }};
    ulmaro::Preferences preferences{std::make_shared<ulmaro::InMemorySettingsStore>()};
    ulmaro::ManualMainQueue mainQueue;
    ulmaro::ManualClock clock;
    ulmaro::ManualSerialQueueFactory queues;
    ulmaro::CatalogCoordinator coordinator{
        library, preferences, [] { return std::vector<ulmaro::MountedVolume>{}; }, 86400.0,
        ulmaro::CatalogCoordinator::Dependencies{.mainQueue = mainQueue,
                                                 .clock = clock,
                                                 .queues = queues,
                                                 .temporaryRoot = dir / "Temporary"}};
};

void BM_UnpackMillionRowList(benchmark::State& state) {
    Importer importer;
    for (auto _ : state) {
        auto unpacked = ulmaro::CatalogCoordinator::unpackEFU(listFile(), importer.clock.now(),
                                                              importer.coordinator.temporaryRoot());
        state.PauseTiming();
        std::filesystem::remove_all(unpacked.directory);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UnpackMillionRowList)->Unit(benchmark::kMillisecond);

void BM_InstallMillionRowList(benchmark::State& state) {
    Importer importer;
    for (auto _ : state) {
        state.PauseTiming();
        auto unpacked = ulmaro::CatalogCoordinator::unpackEFU(listFile(), importer.clock.now(),
                                                              importer.coordinator.temporaryRoot());
        state.ResumeTiming();
        auto outcome = importer.coordinator.install(unpacked);
        state.PauseTiming();
        if (!std::holds_alternative<ulmaro::CatalogCoordinator::Imported>(outcome))
            state.SkipWithError("install failed");
        else
            importer.library.forget(std::get<ulmaro::CatalogCoordinator::Imported>(outcome).id);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InstallMillionRowList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
