// --apply of a configuration whose three channels hold full text waveforms:
// the whole program as a process against the same apply in this process.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>

#include "Automation.h"
#include "SimulatedLibraries.h"
#include "ThreeFullWaves.h"

namespace {

ThreeFullWaves& Files() {
    static ThreeFullWaves setup;
    return setup;
}

void BM_ApplyInProcess(benchmark::State& state) {
    ApplyOptions o;
    o.file = Files().ini;
    o.resource = "PXI1::13::INSTR";
    o.quiet = true;
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state)
        if (RunApply(o, sink, sink) != kExitAccepted)
            state.SkipWithError("the apply failed");
    std::fclose(sink);
}
BENCHMARK(BM_ApplyInProcess)->Unit(benchmark::kMillisecond);

void BM_ApplyProcess(benchmark::State& state) {
    QProcessEnvironment env;
    env.insert("LD_LIBRARY_PATH", NV815_SIM_DIR);
    env.insert("NVSIM_CHASSIS", "");
    for (auto _ : state) {
        QProcess p;
        p.setProcessEnvironment(env);
        EndsWithParent(p);
        p.start(PROGRAM, {"--apply", QString::fromStdString(Files().ini), "--resource",
                          "PXI1::13::INSTR", "--quiet"});
        if (!p.waitForFinished(60000) || p.exitCode() != kExitAccepted)
            state.SkipWithError("the program failed");
    }
}
BENCHMARK(BM_ApplyProcess)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    UseSimulatedLibraries(argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
