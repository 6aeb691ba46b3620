#pragma once

// The main of the view benchmarks: one QApplication on the offscreen platform at scale 1.

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace ulmaro::bench {

inline int runUiBenchmarks(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace ulmaro::bench
