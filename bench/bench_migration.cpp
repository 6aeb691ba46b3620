// The one-time catalog migration over an old main index of three volumes holding 2,000,000
// records together ("/" and two drives, a third each): the time of `migrate` (load, copy
// each drive out, roll up, measure, write "index.bin" and "info.json"), and its peak
// resident memory above what the process held before, with the mapped index's pages in it.
// The index is generated once under $ULMARO_BENCH_DIR (default /tmp/ulmaro-bench).
#include "SyntheticIndex.h"
#include "UlmaroAppKit/Catalogs/CatalogMigration.h"
#include "UlmaroKit/Index/IndexWriter.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <string>

namespace {

using namespace ulmaro;
namespace fs = std::filesystem;

constexpr std::size_t totalRecords = 2'000'000;

// Three synthetic trees side by side, each carrying its own volume index.
fs::path threeVolumeIndex() {
    const fs::path file = bench::benchDirectory() / "migration-3-volumes-2000000.bin";
    if (fs::exists(file)) return file;
    IndexBuilder all(totalRecords, totalRecords * 20);
    for (std::uint8_t volume = 0; volume < 3; ++volume) {
        const IndexBuilder part =
            bench::syntheticIndex(totalRecords / 3 + (volume == 0), volume + 1);
        const auto recordBase = static_cast<std::uint32_t>(all.records.size());
        const auto blobBase = static_cast<std::uint32_t>(all.nameBlob.size());
        for (FileRecord r : part.records) {
            if (r.parentID != FileRecord::rootParentID) r.parentID += recordBase;
            r.nameOffset += blobBase;
            r.volumeIndex = volume;
            all.records.push_back(r);
        }
        all.nameBlob.insert(all.nameBlob.end(), part.nameBlob.begin(), part.nameBlob.end());
    }
    fs::create_directories(file.parent_path());
    IndexWriter::write(all,
                       std::vector<VolumeEntry>{{"ROOT", "/", 0, true},
                                                {"DRIVE-A", "/media/a", 0, true},
                                                {"DRIVE-B", "/media/b", 0, true}},
                       file);
    return file;
}

std::int64_t statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(field + ":")) return std::stoll(line.substr(field.size() + 1));
    return 0;
}

void BM_MigrateThreeVolumes(benchmark::State& state) {
    const fs::path index = threeVolumeIndex();
    const fs::path catalogs = bench::benchDirectory() / "migration-catalogs";
    const CatalogLayout layout(catalogs);
    std::int64_t peakAbove = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(catalogs);
        std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak to the present size
        const std::int64_t before = statusKilobytes("VmRSS");
        state.ResumeTiming();
        auto outcome = CatalogMigration::migrate(index, index, layout, {}, {}, {});
        state.PauseTiming();
        if (outcome.created.size() != 2) state.SkipWithError("the drives were not migrated");
        peakAbove = std::max(peakAbove, statusKilobytes("VmHWM") - before);
        state.ResumeTiming();
    }
    state.counters["peak_rss_above_MB"] = static_cast<double>(peakAbove) / 1024.0;
    state.counters["index_MB"] = static_cast<double>(fs::file_size(index)) / 1e6;
    fs::remove_all(catalogs);
}
BENCHMARK(BM_MigrateThreeVolumes)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
