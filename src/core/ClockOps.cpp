// The clock Update and the DDS reference clock.
#include "Commands.h"
#include "Commit.h"
#include "Operations.h"
#include "Steps.h"

const char* const kClockEndBeforeStart =
    "Sweep end frequency value must always be greater or equal to \r\nsweep start frequency.";

bool ApplyClock(Card& card, int channel, const TChannelInfo& draft, OperatorUi& ui) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    if (draft.ClkStartF > draft.ClkEndF) {
        ui.error(kClockEndBeforeStart);
        return false;
    }
    TChannelInfo& ch = card.channel(channel);
    // The generator sweeps in the modes that sweep; a refused clock mode
    // leaves the card as it was, sweeping or not, and the record says so.
    const bool sweeping = ch.Wave.SweepFlag;
    ch.Wave.SweepFlag = draft.SweepMode == 2 || draft.SweepMode == 3;

    // All four commands are sent; each refusal puts back only its own fields.
    if (CommitStep(card, channel, draft, Step::ClockSource) != VI_SUCCESS)
        card.pendingMultiplier(channel) = ch.Multiplier;
    CommitStep(card, channel, draft, Step::CounterStep);
    if (CommitStep(card, channel, draft, Step::ClockMode) != VI_SUCCESS)
        ch.Wave.SweepFlag = sweeping;
    CommitStep(card, channel, draft, Step::FSKSource);
    return true;
}

ViStatus SetReferenceClock(Card& card, int channel, bool external, double extFreq) {
    Card::Operation operation(card);
    const HeldReports hold(card.link()); // told once the picture is up to date
    TCardInfo& r = card.record();
    const ViStatus status =
        Commit([&] { return SendStep(Step::ReferenceClock, card.link(), r, channel, false); },
               Set(r.DDSSourceExtFlag, external), Set(r.ExtFreq, extFreq));
    if (status == VI_SUCCESS)
        NoteAccepted(card, channel, Step::ReferenceClock);
    return status;
}
