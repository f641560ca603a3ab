#include "CardState.h"

void InitCardInfoRecord(TCardInfo& card) {
    card.Resource.clear();
    card.DDSSourceExtFlag = false;
    card.ExtFreq = 10.0;
    for (int c = 1; c <= kChannelCount; ++c) {
        TChannelInfo& ch = card.Channel[c];
        ch.OutputOn = false;
        ch.FSKHigh = false;
        ch.FSKSource = 0;
        ch.TrigSource = 0;
        ch.TrigMode = 6;
        ch.Multiplier = 20;
        ch.SweepMode = 0;
        ch.ClkStartF = 1.0;
        ch.ClkEndF = 1.0;
        ch.ClkSweepStep = 0.001;
        ch.ClkStepInterval = 1.0;
        ch.MemStep = 1;

        // DCOffset, OffsetOn, RepRate and the samples keep what they hold.
        TWaveSettings& w = ch.Wave;
        w.ArbitraryFlag = false;
        w.AMFlag = false;
        w.SweepFlag = false;
        w.Attenuation = 0.0;
        w.WaveType = 0;
        w.Symmetry = 50.0;
        w.StartF = 1.0;
        w.EndF = 1.0;
        w.SweepStep = 0.001;
        w.StepInterval = 1.0;
        w.Arb.ArbFile.clear();
        w.Arb.TextFlag = true;
        w.Arb.NormaliseFlag = false;
        w.Arb.WaveLength = 0;
    }
}
