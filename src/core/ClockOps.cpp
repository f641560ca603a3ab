// The clock Update and the DDS reference clock.
#include "AcceptedUpdate.h"
#include "Commands.h"
#include "Commit.h"
#include "Operations.h"

const char* const kClockEndBeforeStart =
    "Sweep end frequency value must always be greater or equal to \r\nsweep start frequency.";

namespace {

ViStatus SendClockSource(Card& card, int channel) {
    const TCardInfo& r = card.record();
    const TChannelInfo& ch = card.channel(channel);
    const ViStatus status = CmdSetClockSource(card.link(), r.DDSSourceExtFlag ? 1 : 0,
                                              ch.Multiplier, r.ExtFreq, channel);
    if (status == VI_SUCCESS)
        AcceptedChannel(card, channel).ClockSource =
            TClockSourceSetting{r.DDSSourceExtFlag, r.ExtFreq, ch.Multiplier};
    return status;
}

} // namespace

bool ApplyClock(Card& card, int channel, const ClockRequest& r, OperatorUi& ui) {
    CommandLink& link = card.link();
    const HeldReports hold(link); // told once the picture is up to date
    if (r.StartF > r.EndF) {
        ui.error(kClockEndBeforeStart);
        return false;
    }
    TChannelInfo& ch = card.channel(channel);
    ch.Wave.SweepFlag = r.SweepMode == 2 || r.SweepMode == 3; // kept whatever the card answers

    // All four commands are sent; each refusal puts back only its own fields.
    if (Commit([&] { return SendClockSource(card, channel); }, Set(ch.Multiplier, r.Multiplier)) !=
        VI_SUCCESS)
        card.pendingMultiplier(channel) = ch.Multiplier;
    if (Commit([&] { return CmdSetCounterStep(link, ch.MemStep, channel); },
               Set(ch.MemStep, r.MemStep)) == VI_SUCCESS)
        AcceptedChannel(card, channel).CounterStep = ch.MemStep;
    if (Commit(
            [&] {
                return CmdSetClockMode(link, ch.SweepMode, channel, ch.ClkStartF, ch.ClkEndF,
                                       ch.ClkSweepStep, ch.ClkStepInterval);
            },
            Set(ch.SweepMode, r.SweepMode), Set(ch.ClkStartF, r.StartF), Set(ch.ClkEndF, r.EndF),
            Set(ch.ClkSweepStep, r.SweepStep),
            Set(ch.ClkStepInterval, r.StepInterval)) == VI_SUCCESS)
        AcceptedChannel(card, channel).ClockMode = TClockModeSetting{
            ch.SweepMode, ch.ClkStartF, ch.ClkEndF, ch.ClkSweepStep, ch.ClkStepInterval};
    if (Commit([&] { return CmdSetFSKSource(link, ch.FSKSource, channel); },
               Set(ch.FSKSource, r.FSKSource)) == VI_SUCCESS)
        AcceptedChannel(card, channel).FSKSource = ch.FSKSource;
    return true;
}

ViStatus SetReferenceClock(Card& card, int channel, bool external, double extFreq) {
    const HeldReports hold(card.link()); // told once the picture is up to date
    TCardInfo& r = card.record();
    return Commit([&] { return SendClockSource(card, channel); }, Set(r.DDSSourceExtFlag, external),
                  Set(r.ExtFreq, extFreq));
}
