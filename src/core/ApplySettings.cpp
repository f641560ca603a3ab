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
    Card::Operation operation(card);
    // The draft is taken from the record before anything is sent: the clock
    // Update changes the record's sweep flag. The attenuation and offset too.
    const TChannelInfo draft = DraftOf(card.channel(channel));
    ApplyClock(card, channel, draft, ui);
    ApplyWaveform(card, channel, draft, false, ui);
    const double attenuation = draft.Wave.Attenuation;
    if (IsKnown(attenuation))
        SetAttenuation(card, channel, attenuation);
    SetOffsetPower(card, channel, draft.Wave.DCOffset, draft.Wave.DCOffset != 0);
}

std::vector<ChannelProblem> ConfigurationProblems(const TCardInfo& record,
                                                  const std::vector<int>& channels) {
    std::vector<ChannelProblem> problems;
    for (int c : channels)
        if (std::string problem = ChannelSettingsProblem(record, c); !problem.empty())
            problems.push_back({c, std::move(problem)});
    return problems;
}

std::vector<ChannelProblem> ApplyConfiguration(Card& card, const std::vector<int>& channels,
                                               OperatorUi& ui, ApplyRule rule) {
    if (rule == ApplyRule::AllOrNothing)
        if (std::vector<ChannelProblem> problems = ConfigurationProblems(card.record(), channels);
            !problems.empty())
            return problems;
    for (int c : channels) {
        ui.applying(c);
        ApplyChannel(card, c, ui);
    }
    return {};
}
