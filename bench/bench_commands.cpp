// Cost of the operation log and of a logged command on the simulated card.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "Commands.h"
#include "LibraryBindings.h"
#include "OperationLog.h"
#include "SimulatedLibraries.h"
#include "nv815_def.h"
#include "nvsim.h"

namespace {

ViSession OpenSimulatedCard() {
    static ViSession vi = [] {
        if (!BindAllLibraries().ok() || !DriverLoaded) {
            std::fprintf(stderr, "the simulated driver could not be bound\n");
            std::exit(1);
        }
        ViSession s = 0;
        Driver.nv815_init("PXI1::13::INSTR", 0, 0, &s);
        return s;
    }();
    return vi;
}

void StartLog() {
    CreateLogLines();
    LogEnabled = true;
    MaxLogLines = 100;
}

// Appends with the default limit: the log is emptied every 101 entries.
void BM_AddToLog(benchmark::State& state) {
    StartLog();
    const std::string text = "Set Attenuation - \r\n     Channel 2\r\n     Level 10dB\r\n> Success";
    for (auto _ : state)
        AddToLog(text);
    state.SetItemsProcessed(state.iterations());
    FreeLogLines();
}
BENCHMARK(BM_AddToLog)->Iterations(100000);

void BM_FormatReal(benchmark::State& state) {
    double v = 12345.678;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatReal(v));
        v += 0.001;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatReal);

// One command with its log entry, simulator call included.
void BM_CommandOnSimulator(benchmark::State& state) {
    CommandLink vi;
    vi.setSession(OpenSimulatedCard());
    StartLog();
    int i = 0;
    for (auto _ : state) {
        CmdSetAttenuation(vi, 1, (i++ % 40));
        if (nvsim_journal_count() > 10000)
            nvsim_journal_clear();
    }
    state.SetItemsProcessed(state.iterations());
    FreeLogLines();
}
BENCHMARK(BM_CommandOnSimulator);

// Every logged command once per iteration (15 commands, one refused).
void BM_EveryCommandText(benchmark::State& state) {
    CommandLink vi;
    vi.setSession(OpenSimulatedCard());
    StartLog();
    uint32_t a, b, c;
    for (auto _ : state) {
        CmdSetAttenuation(vi, 2, 10);
        CmdSetOutputOffsetVoltage(vi, 2, -1.25);
        CmdGetCalibrationDate(vi, &a, &b, &c);
        CmdSetCounterStep(vi, 256, 2);
        CmdSetFSKSource(vi, 3, 2);
        CmdSetClockMode(vi, 1, 2, 1, 2, 0.001, 1);
        CmdSetClockSource(vi, 0, 20, 10, 2);
        CmdSetTriggerMode(vi, 0, 6, 2);
        CmdGenerateSweep(vi, 1, 0, 30, 1, 5, 0.001, 0.001, 2);
        CmdGenerateSignal(vi, 1, 2, 5, 30);
        CmdSetAMMode(vi, 2, false);
        CmdSetFSKPin(vi, 2, true);
        CmdSetInstrumentMode(vi, 2, true);
        CmdMemoryTest(vi, &a, &b, &c, 2);
        CmdSetAttenuation(vi, 2, 99); // refused: fetches the driver's text
        if (nvsim_journal_count() > 10000)
            nvsim_journal_clear();
    }
    state.SetItemsProcessed(state.iterations() * 15);
    FreeLogLines();
}
BENCHMARK(BM_EveryCommandText);

} // namespace

int main(int argc, char** argv) {
    return RunOnTheSimulator(argc, argv);
}
