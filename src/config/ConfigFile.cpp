#include "ConfigFile.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <new>
#include <type_traits>
#include <variant>

#include "ConfigKeys.h"
#include "IniText.h"
#include "SafeFile.h"
#include "SettingRanges.h"

namespace {

// The locale's decimal separator, as the file's bytes (UTF-8).
std::string DecimalPoint() {
    return QLocale().decimalPoint().toStdString();
}

bool HoldsControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

// The keys of the record, set into the text: every saved field once, in save
// order. A text value holding a control character is not written.
class Writer {
public:
    explicit Writer(IniText& ini) : ini_(ini) {}
    void text(const std::string& section, const char* key, const std::string& value) {
        if (HoldsControlCharacter(value))
            refused_ = true;
        else
            ini_.set(section, key, value);
    }
    void integer(const std::string& section, const char* key, int64_t value) {
        text(section, key, std::to_string(value));
    }
    void boolean(const std::string& section, const char* key, bool value) {
        text(section, key, value ? "1" : "0");
    }
    void real(const std::string& section, const char* key, double value) {
        // A value not known is written empty: it loads as the default.
        text(section, key, std::isfinite(value) ? ConfigReal(value) : std::string());
    }
    bool refused() const { return refused_; }

private:
    IniText& ini_;
    bool refused_ = false;
};

// Reading keys with their defaults, noting those present but unreadable.
class Reader {
public:
    Reader(const IniText& ini, std::vector<std::string>& unreadable)
        : ini_(ini), unreadable_(unreadable) {}
    const char* raw(const std::string& section, const char* key) const {
        return ini_.value(section, key); // the first of equal keys
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
    const IniText& ini_;
    std::vector<std::string>& unreadable_;
};

// Every key in save order: the card's, then each channel's.
void WriteRecord(const TCardInfo& card, Writer& w) {
    TCardInfo& fields = const_cast<TCardInfo&>(card); // only read
    auto write = [&](const ConfigKey& key, int channel) {
        const std::string section = key.sectionName(channel);
        std::visit(
            [&](auto* field) {
                using T = std::remove_pointer_t<decltype(field)>;
                if constexpr (std::is_same_v<T, std::string>)
                    w.text(section, key.name, *field);
                else if constexpr (std::is_same_v<T, bool>)
                    w.boolean(section, key.name, *field);
                else if constexpr (std::is_same_v<T, double>)
                    w.real(section, key.name, *field);
                else
                    w.integer(section, key.name, *field);
            },
            key.fieldOf(fields, channel));
    };
    for (const ConfigKey& key : ConfigKeys())
        if (!key.perChannel())
            write(key, 0);
    for (int c = 1; c <= kChannelCount; ++c)
        for (const ConfigKey& key : ConfigKeys())
            if (key.perChannel())
                write(key, c);
}

// A channel's keys in load order.
const std::vector<const ConfigKey*>& ChannelLoadOrder() {
    static const std::vector<const ConfigKey*> order = [] {
        std::vector<const ConfigKey*> keys;
        for (const ConfigKey& key : ConfigKeys())
            if (key.perChannel() && key.loadOrder >= 0)
                keys.push_back(&key);
        std::sort(keys.begin(), keys.end(), [](const ConfigKey* a, const ConfigKey* b) {
            return a->loadOrder < b->loadOrder;
        });
        return keys;
    }();
    return order;
}

// The card's Resource is not applied: the card in use stays selected. After
// each channel's keys, its waveform is re-imported when it is arbitrary.
void ReadRecord(TCardInfo& card, Reader& r, const ReimportWave& reimport) {
    for (int c = 1; c <= kChannelCount; ++c) {
        for (const ConfigKey* key : ChannelLoadOrder()) {
            const std::string section = key->sectionName(c);
            std::visit(
                [&](auto* field) {
                    using T = std::remove_pointer_t<decltype(field)>;
                    T value;
                    if constexpr (std::is_same_v<T, std::string>)
                        value = r.text(section, key->name, "");
                    else if constexpr (std::is_same_v<T, bool>)
                        value = r.boolean(section, key->name, key->loadDefault != 0);
                    else if constexpr (std::is_same_v<T, double>)
                        value = r.real(section, key->name, key->loadDefault);
                    else
                        value = static_cast<T>(
                            r.integer(section, key->name, static_cast<int32_t>(key->loadDefault)));
                    if (key->applied)
                        *field = std::move(value);
                },
                key->fieldOf(card, c));
        }
        if (card.Channel[c].Wave.ArbitraryFlag && reimport)
            reimport(c);
    }
}

bool HoldsNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

const char* const kOutOfMemory = "could not be read: out of memory.";
const char* const kHoldsNul = "holds a NUL byte: it is no configuration file.";

// A configuration file's text, read no further than a configuration can go;
// why it is refused (said of the file), or empty. A missing file reads empty.
std::string ReadConfigurationFile(const std::string& path, std::string& text) {
    if (!PathExists(path))
        return {};
    FileReader file(path); // a directory, FIFO or device is not opened
    bool tooLarge = false;
    if (!file.isOpen() || !file.readAtMost(kMaxConfigurationSize, text, tooLarge))
        return tooLarge ? "is larger than 16 MB: it is no configuration file."
                        : "could not be read.";
    return {};
}

} // namespace

std::string ConfigReal(double value) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string out(buf, result.ptr);
    const size_t point = out.find('.');
    if (point != std::string::npos)
        out.replace(point, 1, DecimalPoint());
    return out;
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

namespace {

// [sign] digits [separator digits] [e|E [sign] digits], with ASCII digits and
// the locale's separator; the same text with a full stop, or empty.
std::string PlainReal(const std::string& text) {
    const std::string point = DecimalPoint();
    std::string out;
    size_t at = 0;
    auto digits = [&] {
        const size_t from = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            out += text[at++];
        return at - from;
    };
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        out += text[at++];
    size_t count = digits();
    if (text.compare(at, point.size(), point) == 0) {
        at += point.size();
        out += '.';
        count += digits();
    }
    if (count == 0)
        return {};
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        out += text[at++];
        if (at < text.size() && (text[at] == '-' || text[at] == '+'))
            out += text[at++];
        if (digits() == 0)
            return {};
    }
    return at == text.size() ? out : std::string();
}

} // namespace

bool ParseConfigReal(const std::string& text, double& value) {
    const std::string plain = PlainReal(text);
    if (!plain.empty()) {
        const char* from = plain.data() + (plain[0] == '+' ? 1 : 0); // from_chars takes no '+'
        const char* const end = plain.data() + plain.size();
        const auto [ptr, ec] = std::from_chars(from, end, value);
        if (ec == std::errc() && ptr == end)
            return std::isfinite(value);
        if (ec != std::errc::result_out_of_range || ptr != end)
            return false;
        // Beyond a double: what 15 digits make of the largest one reads as it;
        // a value too small for one reads as zero.
        long double wide = 0;
        std::from_chars(from, end, wide);
        const long double magnitude = std::fabs(wide);
        if (magnitude < 1) {
            value = std::signbit(wide) ? -0.0 : 0.0;
            return true;
        }
        if (magnitude > 1.79769313486232e308L)
            return false;
        value = std::signbit(wide) ? -DBL_MAX : DBL_MAX;
        return true;
    }
    // The locale's own digits, as an earlier writer may have put them.
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    value = locale.toDouble(QString::fromUtf8(text.c_str()), &ok);
    return ok && std::isfinite(value);
}

std::optional<std::string> ConfigurationText(const TCardInfo& card, const std::string& existing) {
    if (HoldsNul(existing))
        return std::nullopt;
    IniText ini(existing);
    if (!ini.ok())
        return std::nullopt;
    Writer w(ini);
    WriteRecord(card, w);
    if (w.refused())
        return std::nullopt;
    return ini.text();
}

std::optional<std::string> SavedConfigurationText(const TCardInfo& card, const std::string& path) {
    try {
        std::string existing;
        if (path.empty() || !ReadConfigurationFile(path, existing).empty())
            return std::nullopt; // an existing file that is no configuration is never replaced
        return ConfigurationText(card, existing);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool SaveConfiguration(const TCardInfo& card, const std::string& path) {
    const std::optional<std::string> text = SavedConfigurationText(card, path);
    return text && ReplaceFile(path, *text);
}

ConfigLoad LoadConfigurationText(TCardInfo& card, const std::string& text,
                                 const ReimportWave& reimport) {
    ConfigLoad result;
    if (HoldsNul(text)) {
        result.error = kHoldsNul;
        return result;
    }
    try {
        const IniText ini(text);
        if (!ini.ok()) {
            result.error = kOutOfMemory;
            return result;
        }
        Reader r(ini, result.unreadable);
        ReadRecord(card, r, reimport);
        result.outOfRange = HoldInRange(card);
    } catch (const std::bad_alloc&) {
        result.error = kOutOfMemory;
    }
    return result;
}

std::string ConfigurationResource(const std::string& path) {
    try {
        std::string text;
        if (!ReadConfigurationFile(path, text).empty() || HoldsNul(text))
            return {};
        const IniText ini(text);
        const char* resource = ini.ok() ? ini.value("Card", "Resource") : nullptr;
        return resource ? resource : std::string();
    } catch (const std::bad_alloc&) {
        return {};
    }
}

ConfigLoad LoadConfiguration(TCardInfo& card, const std::string& path,
                             const ReimportWave& reimport) {
    ConfigLoad result;
    try {
        std::string text; // a missing file: no keys, every default
        result.error = ReadConfigurationFile(path, text);
        if (result.error.empty())
            result = LoadConfigurationText(card, text, reimport);
    } catch (const std::bad_alloc&) {
        result.error = kOutOfMemory;
    }
    if (!result.error.empty())
        result.error = "'" + path + "' " + result.error;
    return result;
}
