// Configuration files whose three channels each hold a full text waveform:
// the load (re-imports included) against three plain imports, and the save.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "ConfigFile.h"
#include "QuietUi.h"
#include "ThreeFullWaves.h"
#include "WaveFile.h"
#include "WaveParse.h"

namespace {

ThreeFullWaves& Files() {
    static ThreeFullWaves setup;
    return setup;
}

void Reimport(TCardInfo& card, int c, QuietUi& ui) {
    TArbWave& arb = card.Channel[c].Wave.Arb;
    ImportWaveFile(arb, arb.ArbFile, arb.NormaliseFlag, arb.TextFlag, ui);
}

void BM_ThreePlainImports(benchmark::State& state) {
    QuietUi ui;
    for (auto _ : state) {
        TCardInfo card = Files().card;
        for (int c = 1; c <= kChannelCount; ++c)
            Reimport(card, c, ui);
        benchmark::DoNotOptimize(card.Channel[3].Wave.Arb.Data.data());
    }
}
BENCHMARK(BM_ThreePlainImports)->Unit(benchmark::kMillisecond);

void BM_LoadConfiguration(benchmark::State& state) {
    QuietUi ui;
    for (auto _ : state) {
        TCardInfo card;
        LoadConfiguration(card, Files().ini, [&](int c) { Reimport(card, c, ui); });
        if (card.Channel[3].Wave.Arb.WaveLength != WaveMemorySize)
            state.SkipWithError("the waveforms were not re-read");
    }
}
BENCHMARK(BM_LoadConfiguration)->Unit(benchmark::kMillisecond);

void BM_SaveConfiguration(benchmark::State& state) {
    for (auto _ : state)
        if (!SaveConfiguration(Files().card, Files().ini))
            state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveConfiguration)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
