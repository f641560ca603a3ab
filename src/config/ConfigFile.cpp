#include "ConfigFile.h"

#include <QLocale>
#include <QString>
#include <charconv>
#include <cmath>
#include <sys/stat.h>

#include "SafeFile.h"

// Texts are single bytes, taken as they stand: no wide-character conversion,
// and the reader's implementation compiled here rather than taken from the
// shared library, which would bring in a Unicode library for nothing.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

using Ini = CSimpleIniA; // section and key names ignore case, as INI files do

void Prepare(Ini& ini) {
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetSpaces(false); // key=value, without blanks
}

std::string Section(int channel, const char* part) {
    return "Channel" + std::to_string(channel) + part;
}

// The keys of one channel: every saved field once, in save order.
class Writer {
public:
    explicit Writer(Ini& ini) : ini_(ini) {}
    void text(const std::string& section, const char* key, const std::string& value) {
        ini_.SetValue(section.c_str(), key, value.c_str());
    }
    void integer(const std::string& section, const char* key, int64_t value) {
        text(section, key, std::to_string(value));
    }
    void boolean(const std::string& section, const char* key, bool value) {
        text(section, key, value ? "1" : "0");
    }
    void real(const std::string& section, const char* key, double value) {
        text(section, key, ConfigReal(value));
    }

private:
    Ini& ini_;
};

// Reading keys with their defaults, noting those present but unreadable.
class Reader {
public:
    Reader(const Ini& ini, std::vector<std::string>& unreadable)
        : ini_(ini), unreadable_(unreadable) {}
    const char* raw(const std::string& section, const char* key) const {
        return ini_.GetValue(section.c_str(), key, nullptr);
    }
    std::string text(const std::string& section, const char* key, const std::string& byDefault) {
        const char* v = raw(section, key);
        return v ? std::string(v) : byDefault;
    }
    int32_t integer(const std::string& section, const char* key, int32_t byDefault) {
        const char* v = raw(section, key);
        int32_t value;
        if (v && ParseConfigInteger(v, value))
            return value;
        note(v, section, key);
        return byDefault;
    }
    bool boolean(const std::string& section, const char* key, bool byDefault) {
        return integer(section, key, byDefault ? 1 : 0) != 0;
    }
    double real(const std::string& section, const char* key, double byDefault) {
        const char* v = raw(section, key);
        double value;
        if (v && ParseConfigReal(v, value))
            return value;
        note(v, section, key);
        return byDefault;
    }

private:
    void note(const char* value, const std::string& section, const char* key) {
        if (value && *value)
            unreadable_.push_back(section + "/" + key);
    }
    const Ini& ini_;
    std::vector<std::string>& unreadable_;
};

} // namespace

std::string ConfigReal(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15).toStdString();
}

bool ParseConfigInteger(const std::string& text, int32_t& value) {
    const char* p = text.data();
    const char* const end = p + text.size();
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        uint32_t bits = 0; // up to 0xFFFFFFFF, as the 32 bits of the value
        const auto [ptr, ec] = std::from_chars(p + 2, end, bits, 16);
        if (ec != std::errc() || ptr != end)
            return false;
        value = static_cast<int32_t>(bits);
        return true;
    }
    if (p < end && *p == '+')
        ++p; // from_chars takes no plus sign
    const auto [ptr, ec] = std::from_chars(p, end, value);
    return p < end && ec == std::errc() && ptr == end;
}

bool ParseConfigReal(const std::string& text, double& value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    value = locale.toDouble(QString::fromLocal8Bit(text.c_str()), &ok);
    return ok && std::isfinite(value);
}

std::string ConfigurationText(const TCardInfo& card, const std::string& existing) {
    Ini ini;
    Prepare(ini);
    ini.LoadData(existing);
    Writer w(ini);
    w.text("Card", "Resource", card.Resource);
    for (int c = 1; c <= kChannelCount; ++c) {
        const TChannelInfo& ch = card.Channel[c];
        const TWaveSettings& wave = ch.Wave;
        const std::string s = Section(c, "_Wave");
        w.integer(s, "FSKSource", ch.FSKSource);
        w.boolean(s, "AMFlag", wave.AMFlag);
        w.boolean(s, "ArbitraryFlag", wave.ArbitraryFlag);
        w.boolean(s, "SweepFlag", wave.SweepFlag);
        w.integer(s, "WaveType", wave.WaveType);
        w.real(s, "Symmetry", wave.Symmetry);
        w.real(s, "StartF", wave.StartF);
        w.real(s, "EndF", wave.EndF);
        w.real(s, "SweepStep", wave.SweepStep);
        w.real(s, "StepInterval", wave.StepInterval);
        w.text(s, "ArbFile", wave.Arb.ArbFile);
        w.boolean(s, "TextFlag", wave.Arb.TextFlag);
        w.boolean(s, "NormaliseFlag", wave.Arb.NormaliseFlag);
        w.integer(s, "WaveLength", wave.Arb.WaveLength);
        w.real(s, "Attenuation", wave.Attenuation);
        w.real(s, "DCOffset", wave.DCOffset);
        const std::string t = Section(c, "_Trigger");
        w.integer(t, "Source", ch.TrigSource);
        w.integer(t, "Mode", ch.TrigMode);
        const std::string k = Section(c, "_Clock");
        w.boolean(k, "DDSSourceExtFlag", card.DDSSourceExtFlag);
        w.real(k, "ExtFreq", card.ExtFreq);
        w.integer(k, "Multiplier", ch.Multiplier);
        w.integer(k, "SweepMode", ch.SweepMode);
        w.real(k, "StartF", ch.ClkStartF);
        w.real(k, "EndF", ch.ClkEndF);
        w.real(k, "SweepStep", ch.ClkSweepStep);
        w.real(k, "StepInterval", ch.ClkStepInterval);
        w.real(k, "MemStep", ch.MemStep); // through the real encoding: a plain integer
    }
    std::string out;
    ini.Save(out);
    return out;
}

bool SaveConfiguration(const TCardInfo& card, const std::string& path) {
    std::string existing;
    struct stat info;
    if (!path.empty() && ::stat(path.c_str(), &info) == 0) {
        // Its other sections and keys are kept, so it must be read whole.
        FileReader old(path);
        if (!S_ISREG(info.st_mode) || !old.isOpen() || !old.readAll(existing))
            return false;
    }
    return ReplaceFile(path, ConfigurationText(card, existing));
}

std::vector<std::string> LoadConfigurationText(TCardInfo& card, const char* text, size_t size,
                                               const ReimportWave& reimport) {
    Ini ini;
    Prepare(ini);
    ini.LoadData(text, size);
    std::vector<std::string> unreadable;
    Reader r(ini, unreadable);
    // The card's Resource is not applied: the card in use stays selected.
    for (int c = 1; c <= kChannelCount; ++c) {
        TChannelInfo& ch = card.Channel[c];
        TWaveSettings& wave = ch.Wave;
        const std::string s = Section(c, "_Wave");
        wave.ArbitraryFlag = r.boolean(s, "ArbitraryFlag", false);
        wave.SweepFlag = r.boolean(s, "SweepFlag", false);
        wave.WaveType = r.integer(s, "WaveType", 0);
        wave.Symmetry = r.real(s, "Symmetry", 50);
        wave.StartF = r.real(s, "StartF", 1000);
        wave.EndF = r.real(s, "EndF", 1000);
        wave.SweepStep = r.real(s, "SweepStep", 0.001);
        wave.StepInterval = r.real(s, "StepInterval", 1);
        ch.FSKSource = r.integer(s, "FSKSource", 0);
        wave.AMFlag = r.boolean(s, "AMFlag", false);
        wave.Arb.ArbFile = r.text(s, "ArbFile", "");
        wave.Arb.TextFlag = r.boolean(s, "TextFlag", true);
        wave.Arb.NormaliseFlag = r.boolean(s, "NormaliseFlag", false);
        r.integer(s, "WaveLength", 0); // read, but applied only by the re-import
        wave.Attenuation = r.real(s, "Attenuation", 0);
        wave.DCOffset = r.real(s, "DCOffset", 0);
        const std::string t = Section(c, "_Trigger");
        ch.TrigSource = r.integer(t, "Source", 0);
        ch.TrigMode = r.integer(t, "Mode", 6);
        const std::string k = Section(c, "_Clock");
        card.DDSSourceExtFlag = r.boolean(k, "DDSSourceExtFlag", false); // channel 3's remain
        card.ExtFreq = r.real(k, "ExtFreq", 10);
        ch.Multiplier = r.integer(k, "Multiplier", 4);
        ch.SweepMode = r.integer(k, "SweepMode", 0);
        ch.ClkStartF = r.real(k, "StartF", 1);
        ch.ClkEndF = r.real(k, "EndF", 1);
        ch.ClkSweepStep = r.real(k, "SweepStep", 0.001);
        ch.ClkStepInterval = r.real(k, "StepInterval", 1);
        ch.MemStep = static_cast<uint32_t>(r.integer(k, "MemStep", 1));
        if (wave.ArbitraryFlag && reimport)
            reimport(c);
    }
    return unreadable;
}

std::vector<std::string> LoadConfiguration(TCardInfo& card, const std::string& path,
                                           const ReimportWave& reimport) {
    std::string text; // a missing or unreadable file: no keys, every default
    if (IsRegularFile(path)) {
        FileReader file(path);
        if (!file.isOpen() || !file.readAll(text))
            text.clear();
    }
    return LoadConfigurationText(card, text.data(), text.size(), reimport);
}
