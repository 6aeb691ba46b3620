// EFU import throughput over a generated list of 1,000,000 rows.
#include "UlmaroKit/Catalogs/EFUImporter.h"

#include <benchmark/benchmark.h>
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

} // namespace

BENCHMARK_MAIN();
