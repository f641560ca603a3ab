#include "SettingRanges.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <type_traits>

namespace {

#define CARD(member) [](TCardInfo& card, int) -> SettingField { return &card.member; }
#define CHANNEL(member)                                                                            \
    [](TCardInfo& card, int c) -> SettingField { return &card.Channel[c].member; }

constexpr double kWholeHertzMin = INT_MIN, kWholeHertzMax = INT_MAX;

const SettingRange kRanges[] = {
    {"_Wave/WaveType", "", 0, 2, true, 1, 1, Hold::Clamp, CHANNEL(Wave.WaveType)},
    {"_Wave/Symmetry", "%", 0, 100, true, 1, 1, Hold::Clamp, CHANNEL(Wave.Symmetry)},
    {"_Wave/StartF", "Hz", 1, 10000000, true, 1, 1000, Hold::Clamp, CHANNEL(Wave.StartF)},
    {"_Wave/EndF", "Hz", 1, 10000000, true, 1, 1000, Hold::Clamp, CHANNEL(Wave.EndF)},
    {"_Wave/SweepStep", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(Wave.SweepStep)},
    {"_Wave/StepInterval", "\u00b5s", 1, 5242, true, 1, 1, Hold::Clamp, CHANNEL(Wave.StepInterval)},
    {"_Wave/FSKSource", "", -1, 10, true, 1, 1, Hold::Clamp, CHANNEL(FSKSource)},
    {"_Wave/Attenuation", "dB", 0, 40, true, 1, 1, Hold::Clamp, CHANNEL(Wave.Attenuation)},
    {"_Wave/DCOffset", "V", -5, 5, true, 0.01, 1, Hold::Clamp, CHANNEL(Wave.DCOffset)},
    {"_Trigger/Source", "", 0, 9, true, 1, 1, Hold::Clamp, CHANNEL(TrigSource)},
    {"_Trigger/Mode", "", 0, 6, true, 1, 1, Hold::Clamp, CHANNEL(TrigMode)},
    {"_Clock/ExtFreq", "MHz", 0.000001, 10000, true, 0, 1, Hold::Clamp, CARD(ExtFreq), true},
    {"_Clock/Multiplier", "", 1, 20, true, 1, 1, Hold::Multiplier, CHANNEL(Multiplier)},
    {"_Clock/SweepMode", "", -1, 3, true, 1, 1, Hold::Clamp, CHANNEL(SweepMode)},
    {"_Clock/StartF", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(ClkStartF)},
    {"_Clock/EndF", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(ClkEndF)},
    {"_Clock/SweepStep", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(ClkSweepStep)},
    {"_Clock/StepInterval", "\u00b5s", 1, 5242, true, 1, 1000, Hold::Clamp,
     CHANNEL(ClkStepInterval)},
    {"_Clock/MemStep", "", 1, 262144, true, 1, 1, Hold::PowerOfTwo, CHANNEL(MemStep)},
};

#undef CARD
#undef CHANNEL

// `shown` held as the row says; the value shown after it.
double Held(const SettingRange& r, double shown) {
    double held = std::clamp(shown, r.minimum, r.maximum);
    switch (r.hold) {
    case Hold::Clamp:
        break;
    case Hold::Multiplier:
        held = std::round(held);
        if (held > 1 && held < 4)
            held = 4;
        return held;
    case Hold::PowerOfTwo:
        return std::exp2(std::floor(std::log2(held)));
    }
    if (r.resolution <= 0)
        return held;
    const double steps = 1 / r.resolution; // per unit: exact for 1 and 0.01
    return std::round(held * steps) / steps;
}

// Holds one field; true when it was beyond the limits.
bool HoldField(const SettingRange& r, SettingField field) {
    return std::visit(
        [&](auto* value) {
            const double shown = static_cast<double>(*value) * r.scale;
            if (std::isnan(shown))
                return false; // not known: nothing to hold
            const double held = Held(r, shown);
            using T = std::remove_pointer_t<decltype(value)>;
            *value = static_cast<T>(std::is_floating_point_v<T> ? held / r.scale
                                                                : std::round(held / r.scale));
            // Beyond the limits, or between the values a multiplier or a
            // power of two may take.
            return shown < r.minimum || shown > r.maximum ||
                   (r.hold != Hold::Clamp && held != shown);
        },
        field);
}

} // namespace

int SettingRange::controlMinimum() const {
    return bounded && resolution > 0 ? static_cast<int>(std::lround(minimum * (1 / resolution)))
                                     : 0;
}

int SettingRange::controlMaximum() const {
    return bounded && resolution > 0 ? static_cast<int>(std::lround(maximum * (1 / resolution)))
                                     : 0;
}

std::span<const SettingRange> SettingRanges() {
    return kRanges;
}

const SettingRange& Setting(std::string_view key) {
    for (const SettingRange& r : kRanges)
        if (key == r.key)
            return r;
    throw std::logic_error("no setting " + std::string(key));
}

std::vector<std::string> HoldInRange(TCardInfo& card) {
    std::vector<std::string> beyond;
    // A channel at a time, as a file lists them; a setting of the whole card
    // with the last channel, whose section counts.
    for (int c = 1; c <= kChannelCount; ++c)
        for (const SettingRange& r : kRanges)
            if ((!r.cardWide || c == kChannelCount) && HoldField(r, r.field(card, c)))
                beyond.push_back("Channel" + std::to_string(c) + r.key);
    return beyond;
}
