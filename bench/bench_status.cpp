// The channel status strip and the unsent marks refreshed after a command,
// against the command itself (attenuation, each time a new value, so every
// refresh has a changed text to show).
#include <benchmark/benchmark.h>

#include <QApplication>

#include "CardState.h"
#include "Commands.h"
#include "LibraryBinding.h"
#include "Main_Unit.h"
#include "OffscreenMain.h"
#include "Operations.h"
#include "Startup.h"

namespace {

struct Panel {
    std::unique_ptr<AppWindows> w;
    TSelectedCard card;
    Card alone;
    bool ok = false;
    Panel() {
        if (!BindLibrariesAtStartup())
            return;
        w = CreateWindows();
        w->main->show();
        card.Resource = "PXI1::13::INSTR";
        ok = OpenCard(card, false) == VI_SUCCESS;
        UseCard(w->main->card(), card.Session, kChannelCount);
        // Each side measured alone: the command on a card object no window is told of.
        UseCard(alone, card.Session, kChannelCount);
    }
};

Panel& TheP() {
    static Panel panel;
    return panel;
}

void BM_AttenuationCommand(benchmark::State& state) {
    if (!TheP().ok)
        return state.SkipWithError("no card");
    int dB = 0;
    for (auto _ : state)
        SetAttenuation(TheP().alone, 1, (dB = (dB + 1) % 40));
}
BENCHMARK(BM_AttenuationCommand)->Unit(benchmark::kMicrosecond);

void BM_RefreshAfterCommand(benchmark::State& state) {
    if (!TheP().ok)
        return state.SkipWithError("no card");
    int dB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SetAttenuation(TheP().w->main->card(), 1, (dB = (dB + 1) % 40));
        state.ResumeTiming();
        TheP().w->main->RefreshCardView();
    }
}
BENCHMARK(BM_RefreshAfterCommand)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunOffscreenBenchmarks<QApplication>(argc, argv, [] {
        CloseCard(TheP().card);
        TheP().w.reset();
    });
}
