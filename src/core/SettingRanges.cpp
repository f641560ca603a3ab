#include "SettingRanges.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <type_traits>

namespace {

#define CARD(member) [](TCardInfo& card, int) -> SettingField { return &card.member; }, nullptr
#define CHANNEL(member)                                                                            \
    [](TCardInfo& card, int c) -> SettingField { return &card.Channel[c].member; },                \
        [](TChannelInfo& ch) -> SettingField { return &ch.member; }

constexpr double kWholeHertzMin = INT_MIN, kWholeHertzMax = INT_MAX;
constexpr double kKeeps = std::numeric_limits<double>::quiet_NaN();

// Columns: key, unit, minimum, maximum, bounded, resolution, scale (shown
// units per record unit), hold, record field (the whole card's and a
// channel's), card-wide, the command that sends it and the step that keeps it
// besides (the same when none does), save and
// load places, the value a file without the key loads, the record's default
// (kKeeps: the record keeps what it holds), and in words.
const SettingRange kRanges[] = {
    {"_Wave/FSKSource", "", -1, 10, true, 1, 1, Hold::Clamp, CHANNEL(FSKSource), false,
     Step::FSKSource, Step::Generator, 0, 8, 0, 0, ""},
    {"_Wave/AMFlag", "", 0, 1, true, 1, 1, Hold::Clamp, CHANNEL(Wave.AMFlag), false, Step::AM,
     Step::AM, 1, 9, 0, 0, ""},
    {"_Wave/ArbitraryFlag", "", 0, 1, true, 1, 1, Hold::Clamp, CHANNEL(Wave.ArbitraryFlag), false,
     Step::Kept, Step::Kept, 2, 0, 0, 0, ""},
    {"_Wave/SweepFlag", "", 0, 1, true, 1, 1, Hold::Clamp, CHANNEL(Wave.SweepFlag), false,
     Step::Generator, Step::Generator, 3, 1, 0, 0, ""},
    {"_Wave/WaveType", "", 0, 2, true, 1, 1, Hold::Clamp, CHANNEL(Wave.WaveType), false,
     Step::Generator, Step::Generator, 4, 2, 0, 0, ""},
    {"_Wave/Symmetry", "%", 0, 100, true, 1, 1, Hold::Clamp, CHANNEL(Wave.Symmetry), false,
     Step::Generator, Step::Generator, 5, 3, 50, 50, "Symmetry in %"},
    {"_Wave/StartF", "Hz", 1, 10000000, true, 1, 1000, Hold::Clamp, CHANNEL(Wave.StartF), false,
     Step::Generator, Step::Generator, 6, 4, 1000, 1, "Start frequency in Hz"},
    {"_Wave/EndF", "Hz", 1, 10000000, true, 1, 1000, Hold::Clamp, CHANNEL(Wave.EndF), false,
     Step::Sweep, Step::Sweep, 7, 5, 1000, 1, "End frequency in Hz"},
    {"_Wave/SweepStep", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(Wave.SweepStep), false, Step::Sweep, Step::Sweep, 8, 6, 0.001, 0.001,
     "Sweep step in Hz"},
    {"_Wave/StepInterval", "\u00b5s", 1, 5242, true, 1, 1, Hold::Clamp, CHANNEL(Wave.StepInterval),
     false, Step::Sweep, Step::Sweep, 9, 7, 1, 1, "Step interval in \u00b5s"},
    {"_Wave/TextFlag", "", 0, 1, true, 1, 1, Hold::Clamp, CHANNEL(Wave.Arb.TextFlag), false,
     Step::Kept, Step::Kept, 11, 11, 1, 1, ""},
    {"_Wave/NormaliseFlag", "", 0, 1, true, 1, 1, Hold::Clamp, CHANNEL(Wave.Arb.NormaliseFlag),
     false, Step::Kept, Step::Kept, 12, 12, 0, 0, ""},
    {"_Wave/Attenuation", "dB", 0, 40, true, 1, 1, Hold::Clamp, CHANNEL(Wave.Attenuation), false,
     Step::Attenuation, Step::Attenuation, 14, 14, 0, 0, "Attenuation in dB"},
    {"_Wave/DCOffset", "V", -5, 5, true, 0.01, 1, Hold::Clamp, CHANNEL(Wave.DCOffset), false,
     Step::Offset, Step::Offset, 15, 15, 0, kKeeps, "DC offset in volts"},
    {"_Trigger/Source", "", 0, 9, true, 1, 1, Hold::Clamp, CHANNEL(TrigSource), false,
     Step::Trigger, Step::Trigger, 16, 16, 0, 0, ""},
    {"_Trigger/Mode", "", 0, 6, true, 1, 1, Hold::Clamp, CHANNEL(TrigMode), false, Step::Trigger,
     Step::Trigger, 17, 17, 6, 6, ""},
    {"_Clock/DDSSourceExtFlag", "", 0, 1, true, 1, 1, Hold::Clamp, CARD(DDSSourceExtFlag), true,
     Step::ReferenceClock, Step::ReferenceClock, 18, 18, 0, 0, ""},
    {"_Clock/ExtFreq", "MHz", 0.000001, 10000, true, 0, 1, Hold::Clamp, CARD(ExtFreq), true,
     Step::ReferenceClock, Step::ReferenceClock, 19, 19, 10, 10, "External clock frequency in MHz"},
    {"_Clock/Multiplier", "", 1, 20, true, 1, 1, Hold::Multiplier, CHANNEL(Multiplier), false,
     Step::ClockSource, Step::ClockSource, 20, 20, 4, 20, "Clock multiplier"},
    {"_Clock/SweepMode", "", -1, 3, true, 1, 1, Hold::Clamp, CHANNEL(SweepMode), false,
     Step::ClockMode, Step::ClockMode, 21, 21, 0, 0, ""},
    {"_Clock/StartF", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(ClkStartF), false, Step::ClockMode, Step::ClockMode, 22, 22, 1, 1,
     "Start frequency in Hz"},
    {"_Clock/EndF", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(ClkEndF), false, Step::ClockMode, Step::ClockMode, 23, 23, 1, 1,
     "End frequency in Hz"},
    {"_Clock/SweepStep", "Hz", kWholeHertzMin, kWholeHertzMax, false, 1, 1000, Hold::Clamp,
     CHANNEL(ClkSweepStep), false, Step::ClockMode, Step::ClockMode, 24, 24, 0.001, 0.001,
     "Sweep step in Hz"},
    {"_Clock/StepInterval", "\u00b5s", 1, 5242, true, 1, 1000, Hold::Clamp,
     CHANNEL(ClkStepInterval), false, Step::ClockMode, Step::ClockMode, 25, 25, 1, 1,
     "Step interval in \u00b5s"},
    {"_Clock/MemStep", "", 1, 262144, true, 1, 1, Hold::PowerOfTwo, CHANNEL(MemStep), false,
     Step::CounterStep, Step::CounterStep, 26, 26, 1, 1, "Memory counter step"},
};

static_assert(std::size(kRanges) == kSettingCount);

#undef CARD
#undef CHANNEL

} // namespace

double AtResolution(const SettingRange& r, double shown) {
    if (r.resolution <= 0 || !std::isfinite(shown))
        return shown;
    const double steps = 1 / r.resolution; // per unit: exact for 1 and 0.01
    return std::round(shown * steps) / steps;
}

namespace {

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
    return AtResolution(r, held);
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

size_t SettingRange::index() const {
    return static_cast<size_t>(this - kRanges);
}

double SettingRange::get(TChannelInfo& channel) const {
    return std::visit([](auto* v) { return static_cast<double>(*v); }, inChannel(channel));
}

void SettingRange::set(TChannelInfo& channel, double value) const {
    std::visit([&](auto* v) { *v = static_cast<std::remove_pointer_t<decltype(v)>>(value); },
               inChannel(channel));
}

TChannelInfo DraftOf(TChannelInfo& channel) {
    // A copy without the samples' values: the channel keeps them, and their version.
    Samples samples;
    std::swap(samples, channel.Wave.Arb.Data);
    TChannelInfo draft = channel;
    std::swap(samples, channel.Wave.Arb.Data);
    return draft;
}

ViStatus SendStep(Step step, CommandLink& link, const TCardInfo& card, int c, bool manual) {
    const TChannelInfo& ch = card.Channel[c];
    const TWaveSettings& w = ch.Wave;
    switch (step) {
    case Step::AM:
        return CmdSetAMMode(link, c, w.AMFlag);
    case Step::Generator:
    case Step::Sweep:
        return w.SweepFlag
                   ? CmdGenerateSweep(link, w.WaveType, manual ? 1 : 0, w.Symmetry, w.StartF,
                                      w.EndF, w.SweepStep, w.StepInterval / 1000.0, c)
                   : CmdGenerateSignal(link, w.WaveType, c, w.StartF, w.Symmetry);
    case Step::Trigger:
        return CmdSetTriggerMode(link, ch.TrigSource, ch.TrigMode, c);
    case Step::ClockSource:
    case Step::ReferenceClock:
        return CmdSetClockSource(link, card.DDSSourceExtFlag ? 1 : 0, ch.Multiplier, card.ExtFreq,
                                 c);
    case Step::CounterStep:
        return CmdSetCounterStep(link, ch.MemStep, c);
    case Step::ClockMode:
        return CmdSetClockMode(link, ch.SweepMode, c, ch.ClkStartF, ch.ClkEndF, ch.ClkSweepStep,
                               ch.ClkStepInterval);
    case Step::FSKSource:
        return CmdSetFSKSource(link, ch.FSKSource, c);
    case Step::Attenuation:
        return CmdSetAttenuation(link, c, w.Attenuation);
    case Step::Kept:
    case Step::Offset:
        break; // the offset's two commands are the offset operations' own
    }
    return VI_SUCCESS;
}

std::span<const ScpiName> ScpiNames() {
    // SCPI-99's names where it has one; the card's own otherwise.
    static const ScpiName kNames[] = {
        {&Setting("_Wave/WaveType"), "[SOURce#:]FUNCtion[:SHAPe]", "", 1,
         "SINusoid|TRIangle|SQUare"},
        {&Setting("_Wave/Symmetry"),
         "[SOURce#:]FUNCtion:SQUare:DCYCle|[SOURce#:]FUNCtion:TRIangle:SYMMetry|"
         "[SOURce#:]FUNCtion:RAMP:SYMMetry",
         "PCT", 1, ""},
        {&Setting("_Wave/SweepFlag"), "[SOURce#:]FREQuency:MODE", "", 1, "CW|SWEep"},
        {&Setting("_Wave/StartF"), "[SOURce#:]FREQuency[:CW]|[SOURce#:]FREQuency:STARt", "HZ", 1,
         ""},
        {&Setting("_Wave/EndF"), "[SOURce#:]FREQuency:STOP", "HZ", 1, ""},
        {&Setting("_Wave/SweepStep"), "[SOURce#:]SWEep:STEP", "HZ", 1, ""},
        {&Setting("_Wave/StepInterval"), "[SOURce#:]SWEep:DWELl", "S", 1e6, ""},
        {&Setting("_Wave/AMFlag"), "[SOURce#:]AM:STATe", "", 1, ""},
        {&Setting("_Wave/Attenuation"), "OUTPut#:ATTenuation", "DB", 1, ""},
        {&Setting("_Wave/DCOffset"), "[SOURce#:]VOLTage:OFFSet", "V", 1, ""},
        {&Setting("_Trigger/Source"), "TRIGger#:SOURce", "", 1,
         "FPANel|PXI0|PXI1|PXI2|PXI3|PXI4|PXI5|PXI6|PXI7|PSTar"},
        {&Setting("_Trigger/Mode"), "TRIGger#:MODE", "", 1,
         "HIGH|LOW|POSitive|NEGative|PSINgle|NSINgle|CONTinuous"},
        {&Setting("_Clock/ExtFreq"), "ROSCillator:EXTernal:FREQuency", "HZ", 1e-6, ""},
        {&Setting("_Clock/DDSSourceExtFlag"), "ROSCillator:SOURce", "", 1, "INTernal|EXTernal"},
        {&Setting("_Clock/Multiplier"), "CLOCk#:MULTiplier", "", 1, ""},
        {&Setting("_Clock/SweepMode"), "CLOCk#:SWEep:MODE", "", 1, "CONTinuous|TRIangle|SFSK|FSK"},
        {&Setting("_Clock/StartF"), "CLOCk#:FREQuency:STARt", "HZ", 1, ""},
        {&Setting("_Clock/EndF"), "CLOCk#:FREQuency:STOP", "HZ", 1, ""},
        {&Setting("_Clock/SweepStep"), "CLOCk#:SWEep:STEP", "HZ", 1, ""},
        {&Setting("_Clock/StepInterval"), "CLOCk#:SWEep:DWELl", "S", 1e6, ""},
        {&Setting("_Clock/MemStep"), "CLOCk#:COUNter:STEP", "", 1, ""},
        {&Setting("_Wave/FSKSource"), "CLOCk#:FSK:SOURce", "", 1, ""},
    };
    return kNames;
}

std::string SettingRange::section() const {
    const std::string_view k = key;
    return std::string(k.substr(0, k.find('/')));
}

std::string SettingRange::name() const {
    const std::string_view k = key;
    return std::string(k.substr(k.find('/') + 1));
}

namespace {
// A limit as the operator reads it: 100, -5, 0.01, 0.000001.
std::string LimitText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}
} // namespace

std::string RangeDescription(const SettingRange& r) {
    if (!r.bounded)
        return std::string(r.description) + ", a whole number";
    return std::string(r.description) + ", " + LimitText(r.minimum) + " to " + LimitText(r.maximum);
}

std::string SettingProblem(const SettingRange& r, double shown) {
    const bool beyond = std::isnan(shown) || shown < r.minimum || shown > r.maximum;
    const bool between = !beyond && Held(r, shown) != shown && r.hold != Hold::Clamp;
    if (!beyond && !between)
        return {};
    const std::string what = *r.description ? r.description : r.key;
    if (!r.bounded)
        return what + " must be a whole number within the field: " + LimitText(shown) + " is not.";
    return what + " must be from " + LimitText(r.minimum) + " to " + LimitText(r.maximum) +
           (r.hold == Hold::Multiplier   ? " (1 or 4 to 20)"
            : r.hold == Hold::PowerOfTwo ? " and a power of two"
                                         : "") +
           ": " + LimitText(shown) + " is not.";
}

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

void InitCardInfoRecord(TCardInfo& card) {
    card.Resource.clear();
    for (int c = 1; c <= kChannelCount; ++c) {
        TChannelInfo& ch = card.Channel[c];
        ch.OutputOn = false;
        ch.FSKHigh = false;
        ch.Wave.Arb.ArbFile.clear();
        ch.Wave.Arb.WaveLength = 0;
        for (const SettingRange& r : kRanges)
            if (!std::isnan(r.recordDefault))
                std::visit([&](auto* v) { *v = static_cast<decltype(+*v)>(r.recordDefault); },
                           r.field(card, c));
    }
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
