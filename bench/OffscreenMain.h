// The main of a benchmark that needs a Qt application, shown offscreen.
#pragma once

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <functional>

#ifdef NV815_SIM_DIR
#include "SimulatedLibraries.h"
#endif

// Runs the registered benchmarks under an application of type App; `cleanUp`
// runs before the application ends.
template <class App>
int RunOffscreenBenchmarks(int argc, char** argv, const std::function<void()>& cleanUp = {}) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef NV815_SIM_DIR
    UseSimulatedLibraries(argv);
#endif
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (cleanUp)
        cleanUp();
    return 0;
}
