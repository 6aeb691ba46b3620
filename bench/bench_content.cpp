// Live content search over a generated corpus: plain text files and real Office and PDF
// documents (copies of the test fixtures). The worker pool is sized by the CPU affinity,
// so compare thread counts with taskset:
//   taskset -c 0 build/rel/bench/bench_content
//   taskset -c 0-7 build/rel/bench/bench_content
// ULMARO_BENCH_CONTENT_DIR=/some/dir keeps the corpus there (made once) so that other tools
// can be measured on the same files, e.g. `rg -c -i needle /some/dir/plain`.
#include "UlmaroKit/Content/ContentSearcher.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace ulmaro;

namespace {

constexpr int kPlainFiles = 20000;
constexpr int kDocumentCopies = 500; // of each fixture document

struct Corpus {
    fs::path root;
    bool temporary = false;
    std::vector<std::string> plain;
    std::vector<std::string> office;
    std::vector<std::string> pdf;
    std::uint64_t plainBytes = 0, officeBytes = 0, pdfBytes = 0;

    ~Corpus() {
        std::error_code ec;
        if (temporary) fs::remove_all(root, ec);
    }
};

std::string makeText(std::mt19937_64& random, std::size_t bytes, bool withNeedle) {
    static const std::vector<std::string> words = {
        "the",      "budget", "of",     "report", "and",  "quarterly", "to",     "figures",
        "in",       "travel", "is",     "costs",  "that", "for",       "office", "it",
        "spending", "with",   "as",     "summer", "was",  "plan",      "on",     "review",
        "be",       "at",     "growth", "by",     "this", "forecast",  "from",   "Invoice"};
    std::string text;
    text.reserve(bytes + 16);
    std::size_t column = 0;
    while (text.size() < bytes) {
        const std::string& w = words[random() % words.size()];
        text += w;
        column += w.size() + 1;
        if (column > 70) {
            text += '\n';
            column = 0;
        } else {
            text += ' ';
        }
    }
    if (withNeedle) text.insert(text.size() * (random() % 100) / 100, " zanzibarine ");
    return text;
}

Corpus& corpus() {
    static Corpus c = [] {
        Corpus made;
        if (const char* dir = std::getenv("ULMARO_BENCH_CONTENT_DIR")) {
            made.root = dir;
        } else {
            made.root =
                fs::temp_directory_path() / ("ulmaro-bench-content-" + std::to_string(::getpid()));
            made.temporary = true;
        }
        bool fresh = !fs::exists(made.root / "complete");
        fs::create_directories(made.root / "plain");
        fs::create_directories(made.root / "documents");
        std::mt19937_64 random(42);
        for (int i = 0; i < kPlainFiles; ++i) {
            fs::path path =
                made.root / "plain" / (std::to_string(i % 100) + "-" + std::to_string(i) + ".txt");
            // Sizes spread from 1 KiB to about 13 KiB: 20000 files of about 134 MiB.
            std::size_t size = 1024 + random() % 12800;
            if (fresh) {
                fs::create_directories(path.parent_path());
                std::ofstream(path, std::ios::binary) << makeText(random, size, i % 100 == 0);
            }
            made.plain.push_back(path.string());
            made.plainBytes += fs::file_size(path);
        }
        // The build hands the compiler absolute source paths.
        fs::path fixtures =
            fs::path(__FILE__).parent_path().parent_path() / "tests/fixtures/documents";
        for (const char* name : {"budget-report.docx", "budget-report.xlsx", "budget-report.pptx",
                                 "budget-report.pdf"}) {
            for (int i = 0; i < kDocumentCopies; ++i) {
                fs::path path = made.root / "documents" / (std::to_string(i) + "-" + name);
                if (fresh)
                    fs::copy_file(fixtures / name, path, fs::copy_options::overwrite_existing);
                bool isPdf = path.extension() == ".pdf";
                (isPdf ? made.pdf : made.office).push_back(path.string());
                (isPdf ? made.pdfBytes : made.officeBytes) += fs::file_size(path);
            }
        }
        std::ofstream(made.root / "complete") << "ok\n";
        return made;
    }();
    return c;
}

void run(benchmark::State& state, std::string_view needle, const std::vector<std::string>& paths,
         std::uint64_t bytes, bool caseSensitive) {
    std::size_t hits = 0;
    for (auto _ : state) {
        auto outcome = ContentSearcher::search(needle, paths, caseSensitive,
                                               static_cast<std::int64_t>(paths.size()));
        hits = std::get<ContentSearcher::Hits>(outcome).hits.size();
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["threads"] = activeProcessorCount();
}

void BM_PlainLiteralCaseless(benchmark::State& state) {
    run(state, "Zanzibarine", corpus().plain, corpus().plainBytes, false);
}
void BM_PlainLiteralCaseSensitive(benchmark::State& state) {
    run(state, "zanzibarine", corpus().plain, corpus().plainBytes, true);
}
void BM_PlainCommonWordFirstLine(benchmark::State& state) {
    run(state, "budget", corpus().plain, corpus().plainBytes, false);
}
void BM_PlainExpression(benchmark::State& state) {
    run(state, "/zanzibar\\w+/", corpus().plain, corpus().plainBytes, false);
}
void BM_OfficeDocuments(benchmark::State& state) {
    run(state, "zanzibarine", corpus().office, corpus().officeBytes, false);
}
void BM_PdfDocuments(benchmark::State& state) {
    run(state, "zanzibarine", corpus().pdf, corpus().pdfBytes, false);
}

BENCHMARK(BM_PlainLiteralCaseless)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainLiteralCaseSensitive)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainCommonWordFirstLine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainExpression)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OfficeDocuments)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PdfDocuments)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
