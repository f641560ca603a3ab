#include "ApplySettings.h"

#include "SettingRanges.h"
#include "WaveLoad.h"

std::string ChannelSettingsProblem(const TCardInfo& card, int channel) {
    // Every value within the table's limits (a loaded file is held there).
    TCardInfo& fields = const_cast<TCardInfo&>(card); // only read through the table's fields
    for (const SettingRange& r : SettingRanges()) {
        const double shown =
            std::visit([&](auto* v) { return static_cast<double>(*v); }, r.field(fields, channel)) *
            r.scale;
        if (!IsKnown(shown))
            continue; // not known: nothing is sent
        if (std::string problem = SettingProblem(r, shown); !problem.empty())
            return "Channel " + std::to_string(channel) + ": " + problem;
    }
    const TChannelInfo& ch = card.Channel[channel];
    if (ch.ClkStartF > ch.ClkEndF)
        return kClockEndBeforeStart;
    const TArbWave& arb = ch.Wave.Arb;
    if (ch.Wave.ArbitraryFlag)
        if (const char* problem = WaveLengthProblem(arb.WaveLength, arb.Data.size()))
            return problem;
    return {};
}

void ApplyChannel(Card& card, int channel, OperatorUi& ui) {
    // Both requests are read from the record before anything is sent: the
    // clock Update changes the record's sweep flag.
    TChannelInfo& ch = card.channel(channel);
    ClockRequest clock;
    clock.SweepMode = ch.SweepMode;
    clock.StartF = ch.ClkStartF;
    clock.EndF = ch.ClkEndF;
    clock.SweepStep = ch.ClkSweepStep;
    clock.StepInterval = ch.ClkStepInterval;
    clock.FSKSource = ch.FSKSource;
    clock.Multiplier = ch.Multiplier;
    clock.MemStep = ch.MemStep;

    const TWaveSettings& w = ch.Wave;
    WaveformRequest wave;
    wave.Arbitrary = w.ArbitraryFlag;
    wave.AM = w.AMFlag;
    wave.RepRate = w.RepRate;
    wave.WaveType = w.WaveType;
    wave.Symmetry = w.Symmetry;
    wave.Sweep = w.SweepFlag;
    wave.StartF = w.StartF;
    wave.EndF = w.EndF;
    wave.SweepStep = w.SweepStep;
    wave.StepInterval = w.StepInterval;
    wave.SweepMode = 0;
    wave.FSKSource = ch.FSKSource;
    wave.TextFlag = w.Arb.TextFlag;
    wave.NormaliseFlag = w.Arb.NormaliseFlag;
    wave.Trigger = {ch.TrigSource, ch.TrigMode};
    const double attenuation = w.Attenuation;
    const double offset = w.DCOffset;

    ApplyClock(card, channel, clock, ui);
    ApplyWaveform(card, channel, wave, ui);
    if (IsKnown(attenuation))
        SetAttenuation(card, channel, attenuation);
    SetOffsetPower(card, channel, offset, offset != 0);
}
