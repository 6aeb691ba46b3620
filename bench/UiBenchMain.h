#pragma once

// The main of the view benchmarks: one QApplication at scale 1, offscreen unless a benchmark
// needs a real X server.

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace ulmaro::bench {

inline int runUiBenchmarks(int argc, char** argv, const char* platform = "offscreen") {
    setenv("QT_QPA_PLATFORM", platform, 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace ulmaro::bench
