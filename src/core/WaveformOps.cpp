// The waveform Update, the trigger Update and wave memory loads.
#include "AcceptedUpdate.h"
#include "Commands.h"
#include "Commit.h"
#include "Operations.h"
#include "WaveLoad.h"

namespace {

// The output switch inside an Update: the record and the window follow
// what the card accepted at each step.
void SwitchOutput(Card& card, int channel, bool on, OperatorUi& ui) {
    if (SetOutput(card, channel, on) == VI_SUCCESS)
        ui.outputChanged(channel);
}

ViStatus Generate(Card& card, int channel, const WaveformRequest& r) {
    CommandLink& link = card.link();
    TChannelInfo& ch = card.channel(channel);
    TWaveSettings& w = ch.Wave;
    const ViStatus status = Commit(
        [&] {
            return w.SweepFlag
                       ? CmdGenerateSweep(link, w.WaveType, r.SweepMode, w.Symmetry, w.StartF,
                                          w.EndF, w.SweepStep, w.StepInterval / 1000.0, channel)
                       : CmdGenerateSignal(link, w.WaveType, channel, w.StartF, w.Symmetry);
        },
        Set(w.WaveType, r.WaveType), Set(w.Symmetry, r.Symmetry), Set(w.SweepFlag, r.Sweep),
        Set(w.StartF, r.StartF), Set(w.EndF, r.EndF), Set(w.SweepStep, r.SweepStep),
        Set(w.StepInterval, r.StepInterval), Set(ch.FSKSource, r.FSKSource));
    if (status == VI_SUCCESS) {
        TGeneratedWave g{w.WaveType, w.Symmetry, w.SweepFlag, w.StartF};
        if (w.SweepFlag) {
            g.EndF = w.EndF;
            g.SweepStep = w.SweepStep;
            g.StepInterval = w.StepInterval / 1000.0;
            g.SweepMode = r.SweepMode;
        }
        TAcceptedChannel& a = AcceptedChannel(card, channel);
        a.Generated = g;
        a.Loaded.reset();
    }
    return status;
}

} // namespace

ViStatus ApplyTrigger(Card& card, int channel, const TriggerRequest& request) {
    const HeldReports hold(card.link()); // told once the picture is up to date
    TChannelInfo& ch = card.channel(channel);
    const ViStatus status =
        Commit([&] { return CmdSetTriggerMode(card.link(), ch.TrigSource, ch.TrigMode, channel); },
               Set(ch.TrigSource, request.Source), Set(ch.TrigMode, request.Mode));
    if (status == VI_SUCCESS)
        AcceptedChannel(card, channel).Trigger = TTriggerSetting{ch.TrigSource, ch.TrigMode};
    return status;
}

ViStatus LoadWaveform(Card& card, int channel, OperatorUi& ui) {
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

void ApplyWaveform(Card& card, int channel, const WaveformRequest& r, OperatorUi& ui) {
    const HeldReports hold(card.link()); // told once the picture is up to date
    TChannelInfo& ch = card.channel(channel);
    TWaveSettings& w = ch.Wave;
    // Kept as the page shows them, whatever the card answers.
    w.ArbitraryFlag = r.Arbitrary;
    w.RepRate = r.RepRate;
    w.Arb.TextFlag = r.TextFlag;
    w.Arb.NormaliseFlag = r.NormaliseFlag;

    SwitchOutput(card, channel, false, ui);
    if (Commit([&] { return CmdSetAMMode(card.link(), channel, w.AMFlag); }, Set(w.AMFlag, r.AM)) ==
        VI_SUCCESS)
        AcceptedChannel(card, channel).AM = w.AMFlag;

    if (r.Arbitrary) {
        // The generator's settings are not sent with a wave memory load; the
        // record keeps them as the page shows them.
        w.WaveType = r.WaveType;
        w.Symmetry = r.Symmetry;
        w.SweepFlag = r.Sweep;
        w.StartF = r.StartF;
        w.EndF = r.EndF;
        w.SweepStep = r.SweepStep;
        w.StepInterval = r.StepInterval;
        ch.FSKSource = r.FSKSource;
        LoadWaveform(card, channel, ui);
    } else {
        Generate(card, channel, r);
    }

    SwitchOutput(card, channel, true, ui);
    ApplyTrigger(card, channel, r.Trigger);
}
