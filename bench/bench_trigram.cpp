// Trigram index on synthetic names: build time and memory, candidate-block lookups.
#include "UlmaroKit/Search/TrigramIndex.h"

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using ulmaro::TrigramIndex;

/// Names shaped like a home folder's: words, separators, numbers and extensions.
std::vector<std::string> syntheticNames(std::uint32_t count) {
    static const std::array<const char*, 40> words = {
        "report",  "IMG",       "photo",      "invoice", "budget",    "draft", "final",
        "notes",   "backup",    "Screenshot", "project", "main",      "index", "test",
        "config",  "data",      "module",     "readme",  "lib",       "src",   "build",
        "cache",   "music",     "video",      "summer",  "holiday",   "scan",  "letter",
        "meeting", "quarterly", "archive",    "node",    "package",   "style", "util",
        "server",  "client",    "thumb",      "export",  "playground"};
    static const std::array<const char*, 16> exts = {"txt",   "jpg",  "png",  "pdf",  "cpp", "h",
                                                     "js",    "json", "md",   "docx", "mp3", "py",
                                                     "swift", "bin",  "xlsx", "html"};
    static const std::array<char, 4> seps = {'_', '-', ' ', '.'};
    std::mt19937 rng(12345);
    std::vector<std::string> names;
    names.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string name = words[rng() % words.size()];
        for (unsigned extra = rng() % 3; extra > 0; --extra) {
            name += seps[rng() % seps.size()];
            name += words[rng() % words.size()];
        }
        if (rng() % 2 == 0) name += std::to_string(rng() % 100000);
        if (rng() % 5 != 0) { // one in five is a folder, without extension
            name += '.';
            name += exts[rng() % exts.size()];
        }
        names.push_back(std::move(name));
    }
    return names;
}

const std::vector<std::string>& names2M() {
    static const std::vector<std::string> names = syntheticNames(2'000'000);
    return names;
}

TrigramIndex::NameSource sourceOf(const std::vector<std::string>& names) {
    return [&names](std::uint32_t i) { return std::string_view(names[i]); };
}

/// A line of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKiB(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

/// Starts a new peak: the high-water mark falls back to the current resident size.
void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_TrigramBuild(benchmark::State& state) {
    const auto& names = names2M();
    std::size_t bytes = 0;
    long peakGrowth = 0;
    for (auto _ : state) {
        resetPeakResident();
        const long before = statusKiB("VmRSS");
        auto index = TrigramIndex::build(sourceOf(names), static_cast<std::uint32_t>(names.size()));
        bytes = index->byteSize();
        peakGrowth = std::max(peakGrowth, statusKiB("VmHWM") - before);
        benchmark::DoNotOptimize(index);
    }
    state.counters["index_MiB"] = static_cast<double>(bytes) / (1 << 20);
    // The build's high-water mark over what the process held before: the touched pages of
    // its two tables, the key list and the index it returns.
    state.counters["peak_growth_MiB"] = static_cast<double>(peakGrowth) / 1024.0;
    state.counters["records"] = static_cast<double>(names.size());
}
BENCHMARK(BM_TrigramBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

const TrigramIndex& index2M() {
    static const TrigramIndex index =
        *TrigramIndex::build(sourceOf(names2M()), static_cast<std::uint32_t>(names2M().size()));
    return index;
}

void BM_CandidateBlocks(benchmark::State& state, const char* needle) {
    const TrigramIndex& index = index2M();
    std::size_t blocks = 0;
    bool narrowed = false;
    for (auto _ : state) {
        auto result = index.candidateBlocks(needle);
        narrowed = result.has_value();
        blocks = result ? result->size() : index.blockCount();
        benchmark::DoNotOptimize(result);
    }
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["of"] = static_cast<double>(index.blockCount());
    state.counters["narrowed"] = narrowed ? 1 : 0;
}
BENCHMARK_CAPTURE(BM_CandidateBlocks, common_word, "report")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, rare_pair, "quarterly_playground")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, number, "41234")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, absent, "zqxj")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CandidateBlocks, long_needle, "Screenshot-holiday 7")
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
