// The output group's operations, the software FSK level, and a card taken
// into use.
#include "AcceptedUpdate.h"
#include "Commands.h"
#include "Commit.h"
#include "DriverCalls.h"
#include "Operations.h"
#include "SessionCalls.h"
#include "nv815_def.h"

ViStatus SetOutput(Card& card, int channel, bool on) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    TChannelInfo& ch = card.channel(channel);
    const ViStatus status = Commit([&] { return CmdSetInstrumentMode(card.link(), channel, on); },
                                   Set(ch.OutputOn, on));
    if (status == VI_SUCCESS)
        AcceptedChannel(card, channel).OutputOn = on;
    return status;
}

ViStatus SetAttenuation(Card& card, int channel, double dB) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    TWaveSettings& w = card.channel(channel).Wave;
    const ViStatus status =
        Commit([&] { return CmdSetAttenuation(card.link(), channel, w.Attenuation); },
               Set(w.Attenuation, dB));
    if (status == VI_SUCCESS)
        AcceptedChannel(card, channel).Attenuation = w.Attenuation;
    return status;
}

ViStatus SetOffset(Card& card, int channel, double volts) {
    Card::Operation operation(card);
    CommandLink& link = card.link();
    const HeldReports hold(link); // told once the picture is up to date
    TWaveSettings& w = card.channel(channel).Wave;
    // The enable flag follows the offset power: once the channel is
    // selected, the offset goes without a logged command of its own.
    const ViStatus status = Commit(
        [&] {
            ViStatus s = CmdSetActiveChannel(link, channel);
            if (s == VI_SUCCESS)
                s = UnloggedSetOutputOffsetVoltage(link, w.DCOffset, w.OffsetOn, channel);
            return s;
        },
        Set(w.DCOffset, volts));
    if (status == VI_SUCCESS)
        AcceptedChannel(card, channel).Offset = TOffsetSetting{w.DCOffset, w.OffsetOn};
    return status;
}

ViStatus SetOffsetPower(Card& card, int channel, double volts, bool on) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    TWaveSettings& w = card.channel(channel).Wave;
    const ViStatus status = Commit(
        [&] {
            return CmdSetOutputOffsetVoltage(card.link(), channel, w.OffsetOn ? w.DCOffset : 0.0);
        },
        Set(w.DCOffset, volts), Set(w.OffsetOn, on));
    if (status == VI_SUCCESS)
        AcceptedChannel(card, channel).Offset = TOffsetSetting{w.DCOffset, w.OffsetOn};
    return status;
}

ViStatus SetFskLevel(Card& card, int channel, bool high) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    TChannelInfo& ch = card.channel(channel);
    const ViStatus status =
        Commit([&] { return CmdSetFSKPin(card.link(), channel, high); }, Set(ch.FSKHigh, high));
    if (status == VI_SUCCESS)
        AcceptedChannel(card, channel).FSKHigh = high;
    return status;
}

std::vector<int> UseCard(Card& card, ViSession session, int channels) {
    Card::Operation operation(card);
    card.useSession(session);
    return ResetOutputs(card, channels);
}

std::vector<int> ResetOutputs(Card& card, int channels) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    std::vector<int> unknown;
    for (int c = 1; c <= kChannelCount; ++c) {
        TChannelInfo& ch = card.channel(c);
        const UnshownReports expected(card.link(), c > channels); // refused by a card without it
        // A card without a channel refuses it: there is nothing to know.
        if (SetAttenuation(card, c, 10.0) != VI_SUCCESS && c <= channels) {
            ch.Wave.Attenuation = kNotKnown;
            unknown.push_back(c);
        }
        // A refused switch-off may leave the output live.
        if (SetOutput(card, c, false) != VI_SUCCESS && c <= channels)
            ch.OutputOn = true;
    }
    return unknown;
}

void SwitchOutputsOff(Card& card, int channels) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    for (int c = 1; c <= kChannelCount; ++c) {
        const UnshownReports expected(card.link(), c > channels); // refused by a card without it
        SetOutput(card, c, false);
    }
}
