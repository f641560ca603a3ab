// The waveform Update, the trigger Update and wave memory loads.
#include "AcceptedUpdate.h"
#include "Commands.h"
#include "Operations.h"
#include "Steps.h"
#include "WaveLoad.h"

namespace {

// The output switch inside an Update: the record follows what the card
// accepted at each step.
void SwitchOutput(Card& card, int channel, bool on, OperatorUi&) {
    SetOutput(card, channel, on);
}

} // namespace

ViStatus ApplyTrigger(Card& card, int channel, const TChannelInfo& draft) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    return CommitStep(card, channel, draft, Step::Trigger);
}

ViStatus LoadWaveform(Card& card, int channel, OperatorUi& ui) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    TChannelInfo& ch = card.channel(channel);
    const TArbWave& arb = ch.Wave.Arb;
    const WaveLoadOutcome out =
        LoadWaveToCard(card.link(), arb.WaveLength, channel, ch.MemStep, arb.Data, ui);
    TAcceptedChannel& a = AcceptedChannel(card, channel);
    if (out.CounterStepAccepted)
        a.CounterStep = ch.MemStep;
    if (out.Loaded) {
        a.Loaded = TLoadedWave{arb.WaveLength, out.Checksum};
        a.Generated.reset();
    }
    return out.Status;
}

void ApplyWaveform(Card& card, int channel, const TChannelInfo& draft, bool manual,
                   OperatorUi& ui) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    // Kept as the page shows them, whatever the card answers.
    KeepStep(card, channel, draft, Step::Kept);
    card.channel(channel).Wave.RepRate = draft.Wave.RepRate;

    SwitchOutput(card, channel, false, ui);
    CommitStep(card, channel, draft, Step::AM);
    if (draft.Wave.ArbitraryFlag) {
        // The generator's settings are not sent with a wave memory load; the
        // record keeps them as the page shows them.
        KeepStep(card, channel, draft, Step::Generator);
        LoadWaveform(card, channel, ui);
    } else {
        CommitStep(card, channel, draft, Step::Generator, manual);
    }
    SwitchOutput(card, channel, true, ui);
    ApplyTrigger(card, channel, draft);
}
