// Start-up cost: binding the four libraries, then creating and showing every
// window offscreen, as the program does before its event loop runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>

#include "About_Unit.h"
#include "Card_Unit.h"
#include "ExtClkFreq_Unit.h"
#include "LibraryBinding.h"
#include "Log_Unit.h"
#include "Main_Unit.h"
#include "MemTest_Unit.h"
#include "OffscreenMain.h"
#include "Startup.h"

namespace {

void StartOnce(benchmark::State& state) {
    if (!BindLibrariesAtStartup()) {
        state.SkipWithError("libraries could not be bound");
        return;
    }
    {
        std::unique_ptr<AppWindows> w = CreateWindows();
        w->main->show();
        for (QDialog* d :
             std::initializer_list<QDialog*>{w->extClk, w->card, w->about, w->log, w->memTest})
            d->show();
        QApplication::processEvents();
    }
    RunExitHandlers();
}

// The first start of the process pays for fonts, styles and the platform plugin.
void BM_FirstStartUp(benchmark::State& state) {
    for (auto _ : state)
        StartOnce(state);
}
BENCHMARK(BM_FirstStartUp)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_StartUp(benchmark::State& state) {
    for (auto _ : state)
        StartOnce(state);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    return RunOffscreenBenchmarks<QApplication>(argc, argv);
}
