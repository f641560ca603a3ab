// The output group's operations, the software FSK level, and a card taken
// into use.
#include "AcceptedUpdate.h"
#include "Commands.h"
#include "Commit.h"
#include "DriverCalls.h"
#include "Operations.h"
#include "nv815_def.h"

ViStatus SetOutput(ViSession session, int channel, TChannelInfo& ch, bool on) {
    const HeldReports hold; // told once the picture is up to date
    const ViStatus status =
        Commit([&] { return CmdSetInstrumentMode(session, channel, on); }, Set(ch.OutputOn, on));
    if (status == VI_SUCCESS)
        AcceptedChannel(channel).OutputOn = on;
    return status;
}

ViStatus SetAttenuation(ViSession session, int channel, TChannelInfo& ch, double dB) {
    const HeldReports hold; // told once the picture is up to date
    TWaveSettings& w = ch.Wave;
    const ViStatus status = Commit(
        [&] { return CmdSetAttenuation(session, channel, w.Attenuation); }, Set(w.Attenuation, dB));
    if (status == VI_SUCCESS)
        AcceptedChannel(channel).Attenuation = w.Attenuation;
    return status;
}

ViStatus SetOffset(ViSession session, int channel, TChannelInfo& ch, double volts) {
    const HeldReports hold; // told once the picture is up to date
    TWaveSettings& w = ch.Wave;
    // The enable flag follows the offset power, so the driver is called
    // directly once the channel is selected; the entry is written here.
    const ViStatus status = Commit(
        [&] {
            ViStatus s = CmdSetActiveChannel(session, channel);
            if (s == VI_SUCCESS) {
                s = Driver.nv815_SetOutputOffsetVoltage(session, w.DCOffset, w.OffsetOn ? 1 : 0);
                RecordDriverCall({"nv815_SetOutputOffsetVoltage",
                                  session,
                                  {w.DCOffset, int64_t(w.OffsetOn ? 1 : 0)},
                                  nullptr,
                                  s});
                ReportCommandOutcome(session, "Set  dcOffset - ", s, channel);
            }
            return s;
        },
        Set(w.DCOffset, volts));
    if (status == VI_SUCCESS)
        AcceptedChannel(channel).Offset = TOffsetSetting{w.DCOffset, w.OffsetOn};
    return status;
}

ViStatus SetOffsetPower(ViSession session, int channel, TChannelInfo& ch, double volts, bool on) {
    const HeldReports hold; // told once the picture is up to date
    TWaveSettings& w = ch.Wave;
    const ViStatus status = Commit(
        [&] { return CmdSetOutputOffsetVoltage(session, channel, w.OffsetOn ? w.DCOffset : 0.0); },
        Set(w.DCOffset, volts), Set(w.OffsetOn, on));
    if (status == VI_SUCCESS)
        AcceptedChannel(channel).Offset = TOffsetSetting{w.DCOffset, w.OffsetOn};
    return status;
}

ViStatus SetFskLevel(ViSession session, int channel, TChannelInfo& ch, bool high) {
    const HeldReports hold; // told once the picture is up to date
    const ViStatus status =
        Commit([&] { return CmdSetFSKPin(session, channel, high); }, Set(ch.FSKHigh, high));
    if (status == VI_SUCCESS)
        AcceptedChannel(channel).FSKHigh = high;
    return status;
}

std::vector<int> UseCard(ViSession session, TCardInfo& card, int channels) {
    const HeldReports hold; // told once the picture is up to date
    ForgetCard();
    std::vector<int> unknown;
    for (int c = 1; c <= kChannelCount; ++c) {
        TChannelInfo& ch = card.Channel[c];
        const UnshownReports expected(c > channels); // refused by a card without it
        // A card without a channel refuses it: there is nothing to know.
        if (SetAttenuation(session, c, ch, 10.0) != VI_SUCCESS && c <= channels) {
            ch.Wave.Attenuation = kNotKnown;
            unknown.push_back(c);
        }
        // A refused switch-off may leave the output live.
        if (SetOutput(session, c, ch, false) != VI_SUCCESS && c <= channels)
            ch.OutputOn = true;
    }
    return unknown;
}

void ForgetCard() {
    ActiveChannel = 0; // the selected channel of the next card is not known
    ClearAccepted();
}

void SwitchOutputsOff(ViSession session, TCardInfo& card, int channels) {
    const HeldReports hold; // told once the picture is up to date
    for (int c = 1; c <= kChannelCount; ++c) {
        const UnshownReports expected(c > channels); // refused by a card without it
        SetOutput(session, c, card.Channel[c], false);
    }
}
