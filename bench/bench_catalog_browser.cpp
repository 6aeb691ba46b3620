// Browsing a catalog, on one core: the children index of a 1,000,000-record catalog (built
// once per store), and the sorted listing of one folder of 100,000 children (folders
// first, natural order on keys made once per name).
//
// Run with --benchmark_repetitions and read the medians.

#include "SyntheticIndex.h"
#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "UlmaroKit/Catalogs/ChildrenIndex.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>
#include <numeric>

namespace {

using namespace ulmaro;

void BM_ChildrenIndex(benchmark::State& state) {
    const auto store = bench::cachedSyntheticStore(1'000'000);
    for (auto _ : state) {
        const ChildrenIndex children(*store);
        benchmark::DoNotOptimize(children.ids.data());
    }
}
BENCHMARK(BM_ChildrenIndex)->Unit(benchmark::kMillisecond);

/// One folder of `count` synthetic names, a tenth of them folders.
std::shared_ptr<const IndexStore> wideFolder(std::size_t count) {
    static test::TempDir dir;
    IndexBuilder builder;
    builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    bench::SyntheticNames names(7);
    for (std::size_t i = 0; i < count; ++i) {
        const bool folder = names.chance(10);
        builder.addEntry(folder ? names.folderName() : names.fileName(), 0,
                         folder ? RecordFlags::isDirectory : RecordFlags{}, 0);
    }
    IndexWriter::write(builder, {}, dir / "wide.bin");
    return IndexStore::open(dir / "wide.bin");
}

void BM_SortedListing(benchmark::State& state) {
    const ScopedUserLocale locale("en_US");
    static const auto store = wideFolder(100'000);
    std::vector<std::uint32_t> children(store->count() - 1);
    std::iota(children.begin(), children.end(), 1u);
    std::size_t listed = 0;
    for (auto _ : state) {
        const auto items = CatalogBrowserModel::sortedItems(*store, children);
        listed = items.size();
        benchmark::DoNotOptimize(items.data());
    }
    state.counters["items"] = static_cast<double>(listed);
}
BENCHMARK(BM_SortedListing)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
