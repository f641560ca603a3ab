#include "ConfigKeys.h"

namespace {

#define CARD(member) [](TCardInfo& card, int) -> ConfigField { return &card.member; }
#define CHANNEL(member)                                                                            \
    [](TCardInfo& card, int c) -> ConfigField { return &card.Channel[c].member; }

// The card-wide clock fields are saved in every channel's section; a load
// leaves them as the last channel's section has them.
const ConfigKey kKeys[] = {
    {"Card", "Resource", CARD(Resource), 0, -1},
    {"_Wave", "FSKSource", CHANNEL(FSKSource), 0, 8},
    {"_Wave", "AMFlag", CHANNEL(Wave.AMFlag), 0, 9},
    {"_Wave", "ArbitraryFlag", CHANNEL(Wave.ArbitraryFlag), 0, 0},
    {"_Wave", "SweepFlag", CHANNEL(Wave.SweepFlag), 0, 1},
    {"_Wave", "WaveType", CHANNEL(Wave.WaveType), 0, 2},
    {"_Wave", "Symmetry", CHANNEL(Wave.Symmetry), 50, 3},
    {"_Wave", "StartF", CHANNEL(Wave.StartF), 1000, 4},
    {"_Wave", "EndF", CHANNEL(Wave.EndF), 1000, 5},
    {"_Wave", "SweepStep", CHANNEL(Wave.SweepStep), 0.001, 6},
    {"_Wave", "StepInterval", CHANNEL(Wave.StepInterval), 1, 7},
    {"_Wave", "ArbFile", CHANNEL(Wave.Arb.ArbFile), 0, 10},
    {"_Wave", "TextFlag", CHANNEL(Wave.Arb.TextFlag), 1, 11},
    {"_Wave", "NormaliseFlag", CHANNEL(Wave.Arb.NormaliseFlag), 0, 12},
    // Applied only by the re-import, so it never exceeds the samples held.
    {"_Wave", "WaveLength", CHANNEL(Wave.Arb.WaveLength), 0, 13, false},
    {"_Wave", "Attenuation", CHANNEL(Wave.Attenuation), 0, 14},
    {"_Wave", "DCOffset", CHANNEL(Wave.DCOffset), 0, 15},
    {"_Trigger", "Source", CHANNEL(TrigSource), 0, 16},
    {"_Trigger", "Mode", CHANNEL(TrigMode), 6, 17},
    {"_Clock", "DDSSourceExtFlag", CARD(DDSSourceExtFlag), 0, 18},
    {"_Clock", "ExtFreq", CARD(ExtFreq), 10, 19},
    {"_Clock", "Multiplier", CHANNEL(Multiplier), 4, 20},
    {"_Clock", "SweepMode", CHANNEL(SweepMode), 0, 21},
    {"_Clock", "StartF", CHANNEL(ClkStartF), 1, 22},
    {"_Clock", "EndF", CHANNEL(ClkEndF), 1, 23},
    {"_Clock", "SweepStep", CHANNEL(ClkSweepStep), 0.001, 24},
    {"_Clock", "StepInterval", CHANNEL(ClkStepInterval), 1, 25},
    {"_Clock", "MemStep", CHANNEL(MemStep), 1, 26},
};

#undef CARD
#undef CHANNEL

} // namespace

std::span<const ConfigKey> ConfigKeys() {
    return kKeys;
}
