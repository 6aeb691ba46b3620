// Content index: build, rebuild with nothing changed, load and search, over a generated
// corpus of plain-text documents. Thread counts follow the CPU affinity (use taskset).
#include "UlmaroKit/Content/ContentIndexBuilder.h"
#include "UlmaroKit/Platform/AtomicFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

using namespace ulmaro;

constexpr int kFiles = 2400;
constexpr int kBytesPerFile = 20000; // 48 MB of text in all
constexpr int kDocumentCopies = 150; // of each of four office and PDF documents

const std::vector<std::string> kWords = {"budget", "report",  "quarter", "meeting", "plan",
                                         "design", "ledger",  "invoice", "summary", "draft",
                                         "review", "minutes", "project", "status",  "team"};

struct Corpus {
    std::filesystem::path root;
    ContentIndex index;
    std::filesystem::path file;

    Corpus() {
        root = std::filesystem::temp_directory_path() / "ulmaro-bench-content";
        std::filesystem::remove_all(root);
        std::mt19937 rng(42);
        for (int i = 0; i < kFiles; ++i) {
            std::string text;
            text.reserve(kBytesPerFile + 16);
            while (static_cast<int>(text.size()) < kBytesPerFile) {
                text += kWords[rng() % kWords.size()];
                text += (rng() % 12 == 0) ? '\n' : ' ';
            }
            auto dir = root / ("folder" + std::to_string(i % 40));
            std::filesystem::create_directories(dir);
            writeFileAtomically(dir / ("note" + std::to_string(i) + ".txt"), text);
        }
        // Real documents beside the notes, so that extraction weighs as it does in life.
        std::filesystem::path fixtures =
            std::filesystem::path(ULMARO_SOURCE_DIR) / "tests/fixtures/documents";
        for (const char* name : {"budget-report.pdf", "budget-report.docx", "budget-report.xlsx",
                                 "budget-report.pptx"}) {
            for (int i = 0; i < kDocumentCopies; ++i) {
                auto dir = root / ("office" + std::to_string(i % 20));
                std::filesystem::create_directories(dir);
                std::filesystem::copy_file(fixtures / name, dir / (std::to_string(i) + "-" + name));
            }
        }
        index = build(nullptr);
        file = root / "content.bin";
        index.write(file);
    }
    ~Corpus() { std::filesystem::remove_all(root); }

    ContentIndex build(const ContentIndex* reusing) const {
        return ContentIndexBuilder::build(
            {root.string()}, reusing, [] { return false; }, {},
            ContentIndexBuilder::TextBudget::standard);
    }
};

Corpus& corpus() {
    static Corpus c;
    return c;
}

void BM_BuildFull(benchmark::State& state) {
    auto& c = corpus();
    for (auto _ : state)
        benchmark::DoNotOptimize(c.build(nullptr));
    state.counters["docs/s"] =
        benchmark::Counter(kFiles, benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(state.iterations() * c.index.textBytes());
    state.counters["docs"] = static_cast<double>(c.index.documents().size());
}
BENCHMARK(BM_BuildFull)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RebuildUnchanged(benchmark::State& state) {
    auto& c = corpus();
    for (auto _ : state)
        benchmark::DoNotOptimize(c.build(&c.index));
}
BENCHMARK(BM_RebuildUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Load(benchmark::State& state) {
    auto& c = corpus();
    for (auto _ : state)
        benchmark::DoNotOptimize(ContentIndex::read(c.file));
    state.SetBytesProcessed(state.iterations() * c.index.textBytes());
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_FindRare(benchmark::State& state) {
    auto& c = corpus();
    for (auto _ : state)
        benchmark::DoNotOptimize(c.index.searchAll("zebra", 200));
}
BENCHMARK(BM_FindRare)->Unit(benchmark::kMillisecond);

void BM_FindCommon(benchmark::State& state) {
    auto& c = corpus();
    for (auto _ : state)
        benchmark::DoNotOptimize(c.index.searchAll("ledger invoice", 200));
}
BENCHMARK(BM_FindCommon)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
