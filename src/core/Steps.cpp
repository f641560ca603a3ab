#include "Steps.h"

#include <vector>

#include "AcceptedUpdate.h"
#include "Operations.h"

namespace {

// The settings a step commits: its own, and those it keeps beside them.
bool PartOf(const SettingRange& r, Step step) {
    return r.step == step || r.keptWith == step ||
           (step == Step::Generator && r.step == Step::Sweep);
}

void Copy(Card& card, int channel, const TChannelInfo& draft, Step step) {
    TChannelInfo& from = const_cast<TChannelInfo&>(draft); // read through the table's fields
    for (const SettingRange& r : SettingRanges())
        if (r.inChannel && PartOf(r, step))
            r.set(card.channel(channel), r.get(from));
}

// The values the card now holds for the rows of `step` (and, for a sweeping
// generator, its sweep rows).
SettingValues Sent(Card& card, int channel, Step step, bool sweeping) {
    SettingValues values;
    for (const SettingRange& r : SettingRanges())
        if (r.step == step || (sweeping && r.step == Step::Sweep))
            values[r.index()] = r.get(card.channel(channel));
    return values;
}

} // namespace

void NoteAccepted(Card& card, int c, Step step, bool manual) {
    TAcceptedChannel& a = AcceptedChannel(card, c);
    const TCardInfo& record = card.record();
    const TChannelInfo& ch = record.Channel[c];
    switch (step) {
    case Step::AM:
        a.AM = ch.Wave.AMFlag;
        break;
    case Step::Generator:
    case Step::Sweep: {
        const bool sweeping = ch.Wave.SweepFlag;
        a.Generated = TGeneratedWave{Sent(card, c, Step::Generator, sweeping), sweeping && manual};
        a.Loaded.reset();
        break;
    }
    case Step::Trigger:
        a.Trigger = TTriggerSetting{ch.TrigSource, ch.TrigMode};
        break;
    case Step::ClockSource:
    case Step::ReferenceClock:
        a.ClockSource = TClockSourceSetting{record.DDSSourceExtFlag, record.ExtFreq, ch.Multiplier};
        break;
    case Step::CounterStep:
        a.CounterStep = ch.MemStep;
        break;
    case Step::ClockMode:
        a.ClockMode = Sent(card, c, Step::ClockMode, false);
        break;
    case Step::FSKSource:
        a.FSKSource = ch.FSKSource;
        break;
    case Step::Attenuation:
        a.Attenuation = ch.Wave.Attenuation;
        break;
    case Step::Kept:
    case Step::Offset:
        break;
    }
}

ViStatus CommitStep(Card& card, int channel, const TChannelInfo& draft, Step step, bool manual) {
    std::vector<std::pair<const SettingRange*, double>> saved;
    for (const SettingRange& r : SettingRanges())
        if (r.inChannel && PartOf(r, step))
            saved.emplace_back(&r, r.get(card.channel(channel)));
    Copy(card, channel, draft, step);
    const ViStatus status = SendStep(step, card.link(), card.record(), channel, manual);
    if (status != VI_SUCCESS) {
        for (const auto& [r, value] : saved)
            r->set(card.channel(channel), value);
        return status;
    }
    NoteAccepted(card, channel, step, manual);
    return status;
}

void KeepStep(Card& card, int channel, const TChannelInfo& draft, Step step) {
    Copy(card, channel, draft, step);
}

TChannelInfo AcceptedDraft(Card& card, int channel, std::initializer_list<Step> steps) {
    TChannelInfo draft = DraftOf(card.channel(channel));
    const TAcceptedChannel& a = card.accepted().Channel[channel];
    for (const SettingRange& r : SettingRanges())
        for (Step step : steps)
            if (r.inChannel && PartOf(r, step))
                if (const std::optional<double> held = AcceptedValue(a, r))
                    r.set(draft, *held);
    return draft;
}

namespace {

// Sends the step; a generated waveform the card accepted is what the
// channel plays now, and the record says so.
ViStatus SendGenerator(Card& card, int channel, const TChannelInfo& draft, Step step, bool manual) {
    const ViStatus status = CommitStep(card, channel, draft, step, manual);
    if (status == VI_SUCCESS && step == Step::Generator)
        card.channel(channel).Wave.ArbitraryFlag = false;
    return status;
}

} // namespace

ViStatus ApplySetting(Card& card, int channel, const SettingRange& setting, double value,
                      std::string& problem) {
    Card::Operation operation(card);
    problem = SettingProblem(setting, value * setting.scale);
    if (!problem.empty())
        return VI_ERROR_INV_PARAMETER;
    const HeldReports hold(card.link()); // told once the picture is up to date
    switch (setting.step) {
    case Step::Attenuation:
        return SetAttenuation(card, channel, value);
    case Step::Offset:
        return SetOffset(card, channel, value);
    case Step::ReferenceClock: {
        TCardInfo& r = card.record();
        const bool flag = &setting == &Setting("_Clock/DDSSourceExtFlag");
        return SetReferenceClock(card, channel, flag ? value != 0 : r.DDSSourceExtFlag,
                                 flag ? r.ExtFreq : value);
    }
    case Step::Kept:
        setting.set(card.channel(channel), value);
        return VI_SUCCESS;
    default:
        break;
    }
    const Step step = setting.step == Step::Sweep ? Step::Generator : setting.step;
    TChannelInfo draft = AcceptedDraft(card, channel, {step});
    setting.set(draft, value);
    const TAcceptedChannel& a = card.accepted().Channel[channel];
    return SendGenerator(card, channel, draft, step, a.Generated && a.Generated->Manual);
}

ViStatus SetSweepManual(Card& card, int channel, bool manual) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    return SendGenerator(card, channel, AcceptedDraft(card, channel, {Step::Generator}),
                         Step::Generator, manual);
}

std::optional<double> AcceptedValue(const TAcceptedChannel& a, const SettingRange& r) {
    switch (r.step) {
    case Step::Generator:
    case Step::Sweep:
        return a.Generated ? a.Generated->Values[r.index()] : std::nullopt;
    case Step::ClockMode:
        return a.ClockMode ? (*a.ClockMode)[r.index()] : std::nullopt;
    case Step::AM:
        return a.AM;
    case Step::Attenuation:
        return a.Attenuation;
    case Step::CounterStep:
        return a.CounterStep;
    case Step::FSKSource:
        return a.FSKSource;
    case Step::ClockSource:
        return a.ClockSource ? std::optional<double>(a.ClockSource->Multiplier) : std::nullopt;
    case Step::Trigger: // the source, then the mode, as the table lists them
        if (!a.Trigger)
            return std::nullopt;
        return &r == &Setting("_Trigger/Source") ? a.Trigger->Source : a.Trigger->Mode;
    case Step::ReferenceClock: // the source the channel's clock command sent with
        if (!a.ClockSource)
            return std::nullopt;
        return &r == &Setting("_Clock/ExtFreq") ? a.ClockSource->ExtFreq
                                                : (a.ClockSource->External ? 1.0 : 0.0);
    case Step::Offset:
        return a.Offset ? std::optional<double>(a.Offset->Volts) : std::nullopt;
    case Step::Kept:
        break;
    }
    return std::nullopt;
}
