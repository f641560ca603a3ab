#include "ChannelStatus.h"

#include <cctype>

#include <cmath>
#include <cstdio>

#include "DriverCalls.h"
#include "Steps.h"

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
    const auto shape = Shape(static_cast<int32_t>(g.value("_Wave/WaveType").value_or(0)), brief);
    const double start = g.value("_Wave/StartF").value_or(0) * 1000;
    if (g.value("_Wave/SweepFlag").value_or(0) == 0)
        return shape + " " + hertz(start);
    return shape + (brief ? " " : " sweep ") + hertz(start) + "\u2013" +
           hertz(g.value("_Wave/EndF").value_or(0) * 1000);
}

std::string OffsetWords(const TOffsetSetting& o) {
    return o.PowerOn ? Format("%+.2f V", o.Volts) : "offset off";
}

} // namespace

std::vector<std::string> ShorterLines(const std::string& line) {
    std::vector<std::string> parts;
    for (size_t from = 0;;) {
        const size_t comma = line.find(", ", from);
        parts.push_back(line.substr(from, comma - from));
        if (comma == std::string::npos)
            break;
        from = comma + 2;
    }
    const auto join = [&](size_t count) {
        std::string out;
        for (size_t i = 0; i < count; ++i)
            out += (i ? ", " : "") + parts[i];
        return out;
    };
    std::vector<std::string> lines{line};
    // "tri 1.5k–10k": the name goes before any number does.
    const std::string& last = parts.back();
    if (const size_t space = last.find(' ');
        parts.size() > 1 && space != std::string::npos && space + 1 < last.size() &&
        !std::isdigit(static_cast<unsigned char>(last[0])) &&
        std::isdigit(static_cast<unsigned char>(last[space + 1])))
        lines.push_back(join(parts.size() - 1) + ", " + last.substr(space + 1));
    for (size_t keep = parts.size() - 1; keep >= 1; --keep)
        lines.push_back(join(keep) + ", \u2026");
    return lines;
}

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

namespace {

// Whether the card holds a setting as the draft has it.
bool Differs(const TAcceptedChannel& a, const SettingRange& r, const TChannelInfo& draft) {
    const std::optional<double> held = AcceptedValue(a, r);
    return !held || *held != r.get(const_cast<TChannelInfo&>(draft));
}

} // namespace

WaveformUnsent UnsentWaveform(const TChannelInfo& draft, bool manual, const TArbWave& arb,
                              const TAcceptedChannel& a) {
    WaveformUnsent u;
    const std::optional<TGeneratedWave>& g = a.Generated;
    const bool swept = g && g->value("_Wave/SweepFlag").value_or(0) != 0;
    for (const SettingRange& r : SettingRanges()) {
        const bool generator = r.step == Step::Generator || r.step == Step::Sweep;
        if (r.step == Step::AM)
            u.Setting[r.index()] = Differs(a, r, draft);
        else if (generator && !draft.Wave.ArbitraryFlag &&
                 (r.step == Step::Generator || draft.Wave.SweepFlag))
            // The sweep's settings count only when sweeping, and only against a sweep.
            u.Setting[r.index()] = (r.step == Step::Sweep && !swept) || Differs(a, r, draft);
    }
    if (draft.Wave.ArbitraryFlag) {
        const bool whole = arb.WaveLength > 0 && arb.Data.size() >= size_t(arb.WaveLength);
        u.Samples = !a.Loaded || !whole || a.Loaded->Length != arb.WaveLength ||
                    a.Loaded->Checksum != arb.Data.checksum(arb.WaveLength);
    } else if (draft.Wave.SweepFlag) {
        u.Manual = !swept || g->Manual != manual;
    }
    return u;
}

SettingFlags UnsentSettings(const TChannelInfo& draft, std::initializer_list<Step> steps,
                            const TAcceptedChannel& a) {
    SettingFlags unsent{};
    for (const SettingRange& r : SettingRanges())
        for (Step step : steps)
            if (r.step == step)
                unsent[r.index()] = Differs(a, r, draft);
    return unsent;
}

bool UnsentAttenuation(double dB, const TAcceptedChannel& a) {
    return !a.Attenuation || *a.Attenuation != dB;
}

bool UnsentOffset(double volts, const TAcceptedChannel& a) {
    return !a.Offset || a.Offset->Volts != volts;
}
