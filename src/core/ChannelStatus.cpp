#include "ChannelStatus.h"

#include <cmath>
#include <cstdio>

#include "DriverCalls.h"

namespace {

const char* const kDot = " \u00b7 ";
const char* const kShapes[] = {"sine", "triangle", "square"};
const char* const kShortShapes[] = {"sine", "tri", "sq"};

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Shape(int32_t waveType, bool brief = false) {
    return waveType >= 0 && waveType < 3
               ? (brief ? kShortShapes : kShapes)[waveType]
               : (brief ? "wave " : "waveform ") + std::to_string(waveType);
}

// "sine 1 kHz", "sine sweep 1 kHz-10 kHz", "arbitrary, 1024 samples", or nothing;
// briefly "sine 1k", "sine 1k\u201310k", "arb 1024".
std::string WaveWords(const TAcceptedChannel& a, bool brief) {
    if (a.Loaded)
        return (brief ? "arb " : "arbitrary, ") + std::to_string(a.Loaded->Length) +
               (brief ? "" : " samples");
    if (!a.Generated)
        return {};
    const TGeneratedWave& g = *a.Generated;
    const auto hertz = brief ? BriefFrequency : FrequencyWords;
    if (!g.Sweep)
        return Shape(g.WaveType, brief) + " " + hertz(g.StartF * 1000);
    return Shape(g.WaveType, brief) + (brief ? " " : " sweep ") + hertz(g.StartF * 1000) +
           "\u2013" + hertz(g.EndF * 1000);
}

std::string OffsetWords(const TOffsetSetting& o) {
    return o.PowerOn ? Format("%+.2f V", o.Volts) : "offset off";
}

} // namespace

std::string FrequencyWords(double hertz) {
    const double magnitude = std::fabs(hertz);
    if (magnitude >= 1e6)
        return Format("%.7g MHz", hertz / 1e6);
    if (magnitude >= 1e3)
        return Format("%.7g kHz", hertz / 1e3);
    return Format("%.7g Hz", hertz);
}

std::string BriefFrequency(double hertz) {
    // Three significant digits first, so that 9999999 Hz is "10M", not "10000k".
    double rounded = hertz;
    if (std::isfinite(hertz) && hertz != 0) {
        const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(hertz))) - 2);
        rounded = std::round(hertz / unit) * unit;
    }
    const double magnitude = std::fabs(rounded);
    if (magnitude >= 1e6)
        return Format("%.3gM", rounded / 1e6);
    if (magnitude >= 1e3)
        return Format("%.3gk", rounded / 1e3);
    return Format("%.3g", rounded);
}

ChannelStatus DescribeChannel(int channel, ChannelPresence presence, const TAcceptedChannel& a) {
    ChannelStatus s;
    const std::string number = std::to_string(channel);
    if (presence == ChannelPresence::NoCard) {
        s.line = number + kDot + "no card";
        s.sentence = "Channel " + number + ": no card is open.";
        return s;
    }
    if (presence == ChannelPresence::Absent) {
        s.line = number + kDot + "not on this card";
        s.sentence = "Channel " + number + ": the open card has no channel " + number + ".";
        return s;
    }
    s.outputOn = a.OutputOn.value_or(false);
    s.outputOff = a.OutputOn && !*a.OutputOn;
    const std::string output = a.OutputOn ? (*a.OutputOn ? "on" : "off") : "output ?";
    const std::string wave = WaveWords(a, false);
    const std::string att = a.Attenuation ? Format("%.0f dB", *a.Attenuation) : "? dB";
    const std::string offset = a.Offset ? OffsetWords(*a.Offset) : "offset ?";

    // Briefly, in the order an operator checks them: output, attenuation,
    // offset (0V while its power is off), then the waveform, which gives way
    // first when the room runs out.
    const std::string brief = WaveWords(a, true);
    s.line = number + " " + (a.OutputOn ? output : "?") + ", " +
             (a.Attenuation ? Format("%.0fdB", *a.Attenuation) : "?dB") + ", " +
             (!a.Offset           ? "?V"
              : a.Offset->PowerOn ? Format("%+.2fV", a.Offset->Volts)
                                  : "0V") +
             ", " + (brief.empty() ? "no wave" : brief);

    const char* const notSet = "not set since opened";
    s.sentence = "Channel " + number + " as the card accepted it: output " +
                 (a.OutputOn ? output : notSet) + "; waveform " + (wave.empty() ? notSet : wave) +
                 "; attenuation " + (a.Attenuation ? att : notSet) + "; offset " +
                 (a.Offset ? (a.Offset->PowerOn ? offset + " (power on)" : std::string("power off"))
                           : notSet) +
                 ".";
    return s;
}

WaveformUnsent UnsentWaveform(const WaveformRequest& r, const TArbWave& arb,
                              const TAcceptedChannel& a) {
    WaveformUnsent u;
    u.AM = !a.AM || *a.AM != r.AM;
    if (r.Arbitrary) {
        const bool whole = arb.WaveLength > 0 && arb.Data.size() >= size_t(arb.WaveLength);
        u.Samples = !a.Loaded || !whole || a.Loaded->Length != arb.WaveLength ||
                    a.Loaded->Checksum != WaveChecksum(arb.Data.data(), arb.WaveLength);
        return u;
    }
    const std::optional<TGeneratedWave>& g = a.Generated;
    u.WaveType = !g || g->WaveType != r.WaveType;
    u.Symmetry = !g || g->Symmetry != r.Symmetry;
    u.Sweep = !g || g->Sweep != r.Sweep;
    u.StartF = !g || g->StartF != r.StartF;
    if (r.Sweep) {
        const bool swept = g && g->Sweep;
        u.EndF = !swept || g->EndF != r.EndF;
        u.SweepStep = !swept || g->SweepStep != r.SweepStep;
        u.StepInterval = !swept || g->StepInterval != r.StepInterval / 1000.0;
        u.SweepMode = !swept || g->SweepMode != r.SweepMode;
    }
    return u;
}

TriggerUnsent UnsentTrigger(const TriggerRequest& r, const TAcceptedChannel& a) {
    return {!a.Trigger || a.Trigger->Source != r.Source, !a.Trigger || a.Trigger->Mode != r.Mode};
}

ClockUnsent UnsentClock(const ClockRequest& r, const TAcceptedChannel& a) {
    ClockUnsent u;
    u.Multiplier = !a.ClockSource || a.ClockSource->Multiplier != r.Multiplier;
    const std::optional<TClockModeSetting>& m = a.ClockMode;
    u.SweepMode = !m || m->Mode != r.SweepMode;
    u.StartF = !m || m->StartF != r.StartF;
    u.EndF = !m || m->EndF != r.EndF;
    u.SweepStep = !m || m->SweepStep != r.SweepStep;
    u.StepInterval = !m || m->StepInterval != r.StepInterval;
    u.FSKSource = !a.FSKSource || *a.FSKSource != r.FSKSource;
    u.MemStep = !a.CounterStep || *a.CounterStep != r.MemStep;
    return u;
}

bool UnsentAttenuation(double dB, const TAcceptedChannel& a) {
    return !a.Attenuation || *a.Attenuation != dB;
}

bool UnsentOffset(double volts, const TAcceptedChannel& a) {
    return !a.Offset || a.Offset->Volts != volts;
}
