// The clock Update and the DDS reference clock.
#include "AcceptedUpdate.h"
#include "Commands.h"
#include "Commit.h"
#include "Operations.h"

const char* const kClockEndBeforeStart =
    "Sweep end frequency value must always be greater or equal to \r\nsweep start frequency.";

namespace {

ViStatus SendClockSource(ViSession session, int channel, const TCardInfo& card,
                         const TChannelInfo& ch) {
    const ViStatus status = CmdSetClockSource(session, card.DDSSourceExtFlag ? 1 : 0, ch.Multiplier,
                                              card.ExtFreq, channel);
    if (status == VI_SUCCESS)
        AcceptedChannel(channel).ClockSource =
            TClockSourceSetting{card.DDSSourceExtFlag, card.ExtFreq, ch.Multiplier};
    return status;
}

} // namespace

bool ApplyClock(ViSession session, int channel, TCardInfo& card, const ClockRequest& r,
                int32_t& pendingMultiplier, OperatorUi& ui) {
    const HeldReports hold; // told once the picture is up to date
    if (r.StartF > r.EndF) {
        ui.error(kClockEndBeforeStart);
        return false;
    }
    TChannelInfo& ch = card.Channel[channel];
    ch.Wave.SweepFlag = r.SweepMode == 2 || r.SweepMode == 3; // kept whatever the card answers

    // All four commands are sent; each refusal puts back only its own fields.
    if (Commit([&] { return SendClockSource(session, channel, card, ch); },
               Set(ch.Multiplier, r.Multiplier)) != VI_SUCCESS)
        pendingMultiplier = ch.Multiplier;
    if (Commit([&] { return CmdSetCounterStep(session, ch.MemStep, channel); },
               Set(ch.MemStep, r.MemStep)) == VI_SUCCESS)
        AcceptedChannel(channel).CounterStep = ch.MemStep;
    if (Commit(
            [&] {
                return CmdSetClockMode(session, ch.SweepMode, channel, ch.ClkStartF, ch.ClkEndF,
                                       ch.ClkSweepStep, ch.ClkStepInterval);
            },
            Set(ch.SweepMode, r.SweepMode), Set(ch.ClkStartF, r.StartF), Set(ch.ClkEndF, r.EndF),
            Set(ch.ClkSweepStep, r.SweepStep),
            Set(ch.ClkStepInterval, r.StepInterval)) == VI_SUCCESS)
        AcceptedChannel(channel).ClockMode = TClockModeSetting{
            ch.SweepMode, ch.ClkStartF, ch.ClkEndF, ch.ClkSweepStep, ch.ClkStepInterval};
    if (Commit([&] { return CmdSetFSKSource(session, ch.FSKSource, channel); },
               Set(ch.FSKSource, r.FSKSource)) == VI_SUCCESS)
        AcceptedChannel(channel).FSKSource = ch.FSKSource;
    return true;
}

ViStatus SetReferenceClock(ViSession session, int channel, TCardInfo& card, bool external,
                           double extFreq) {
    const HeldReports hold; // told once the picture is up to date
    return Commit([&] { return SendClockSource(session, channel, card, card.Channel[channel]); },
                  Set(card.DDSSourceExtFlag, external), Set(card.ExtFreq, extFreq));
}
