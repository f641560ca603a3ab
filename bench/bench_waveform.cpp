// The waveform Update on the simulated card, from the click to the refreshed
// controls, against the simulated driver's own handling of the samples.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <cmath>

#include "CardState.h"
#include "Commands.h"
#include "LibraryBinding.h"
#include "Main_Unit.h"
#include "OffscreenMain.h"
#include "Startup.h"
#include "WaveParse.h"
#include "nv815_def.h"
#include "nvsim.h"

namespace {

std::unique_ptr<AppWindows> windows;

std::vector<double> Sine() {
    std::vector<double> samples(WaveMemorySize);
    for (int i = 0; i < WaveMemorySize; ++i)
        samples[i] = 50.0 + 50.0 * std::sin(2 * M_PI * i / WaveMemorySize);
    return samples;
}

// The program with a card selected and channel 1 holding a full waveform.
bool Open(benchmark::State& state) {
    if (!windows) {
        if (!BindLibrariesAtStartup()) {
            state.SkipWithError("libraries could not be bound");
            return false;
        }
        windows = CreateWindows();
        windows->main->show();
        ViSession vi = 0;
        if (Driver.nv815_init("PXI1::13::INSTR", 0, 0, &vi) != VI_SUCCESS) {
            state.SkipWithError("the simulated card could not be opened");
            return false;
        }
        windows->main->card().useSession(vi);
        TArbWave& arb = windows->main->card().channel(1).Wave.Arb;
        arb.Data = Sine();
        arb.WaveLength = WaveMemorySize;
    }
    return true;
}

void UpdateOn(benchmark::State& state, bool arbitrary) {
    if (!Open(state))
        return;
    TMain_Form& m = *windows->main;
    m.findChild<QTabWidget*>("Wave_PageControl")
        ->setCurrentWidget(m.findChild<QWidget*>(arbitrary ? "TabSheet8" : "TabSheet7"));
    QPushButton* update = m.findChild<QPushButton*>("WaveUpdate_Button");
    for (auto _ : state) {
        update->click();
        state.PauseTiming();
        nvsim_journal_clear();
        state.ResumeTiming();
    }
    const TChannelInfo& ch = windows->main->card().channel(1);
    if (!ch.OutputOn || (arbitrary && ch.MemStep != 1))
        state.SkipWithError("the card refused the Update");
}

void BM_UpdateArbitrary262144(benchmark::State& state) {
    UpdateOn(state, true);
}
BENCHMARK(BM_UpdateArbitrary262144)->Unit(benchmark::kMillisecond);

void BM_UpdateSingleFrequency(benchmark::State& state) {
    UpdateOn(state, false);
}
BENCHMARK(BM_UpdateSingleFrequency)->Unit(benchmark::kMillisecond);

// The floor: the simulated driver checking, storing and journalling the samples.
void BM_DriverLoad262144(benchmark::State& state) {
    if (!Open(state))
        return;
    const std::vector<double>& samples = windows->main->card().channel(1).Wave.Arb.Data;
    for (auto _ : state) {
        if (Driver.nv815_LoadArbitraryWaveform(windows->main->card().session(), WaveMemorySize,
                                               samples.data()) != VI_SUCCESS)
            state.SkipWithError("the card refused the samples");
        state.PauseTiming();
        nvsim_journal_clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DriverLoad262144)->Unit(benchmark::kMillisecond);

// The floor of a single-frequency Update: its five driver calls, made directly.
void BM_DriverSingleFrequencyCalls(benchmark::State& state) {
    if (!Open(state))
        return;
    const ViSession vi = windows->main->card().session();
    for (auto _ : state) {
        Driver.nv815_SetInstrumentMode(vi, 0);
        Driver.nv815_SetAMMode(vi, 0);
        Driver.nv815_GenerateSignal(vi, 1, 0, 50);
        Driver.nv815_SetInstrumentMode(vi, 1);
        Driver.nv815_SetTriggerMode(vi, 0, 0);
        state.PauseTiming();
        nvsim_journal_clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DriverSingleFrequencyCalls)->Unit(benchmark::kMillisecond);

// A keystroke in a watched field with a full waveform on the Arbitrary page
// (the marks ask whether the card holds the samples), against the same
// keystroke with no samples: no pass over them per key.
void Keystrokes(benchmark::State& state, bool fullWaveform) {
    if (!Open(state))
        return;
    TMain_Form& m = *windows->main;
    auto* channels = m.findChild<QTabWidget*>("Channel_PageControl");
    channels->setCurrentIndex(fullWaveform ? 0 : 1);
    m.findChild<QTabWidget*>("Wave_PageControl")
        ->setCurrentWidget(m.findChild<QWidget*>("TabSheet8"));
    auto* symmetry = m.findChild<QSpinBox*>("Symm_SpinEdit");
    int value = 10;
    for (auto _ : state)
        symmetry->setValue(value = value == 10 ? 20 : 10);
    channels->setCurrentIndex(0);
}

void BM_KeystrokeBesideFullWaveform(benchmark::State& state) {
    Keystrokes(state, true);
}
BENCHMARK(BM_KeystrokeBesideFullWaveform)->Unit(benchmark::kMicrosecond);

void BM_KeystrokeWithoutSamples(benchmark::State& state) {
    Keystrokes(state, false);
}
BENCHMARK(BM_KeystrokeWithoutSamples)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunOffscreenBenchmarks<QApplication>(argc, argv, [] { windows.reset(); });
}
