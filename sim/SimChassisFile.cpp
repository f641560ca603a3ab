// The chassis description file: an INI text of sections [Chassis],
// [Limits], [InstrumentN] and [FaultN], each key checked, every problem
// reported with its file, line and key.
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "SimChassis.h"

namespace sim {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

struct ParseError {
    std::string message;
};

// False for text that is no integer; `outOfRange` tells an integer that a
// 64-bit signed value cannot hold.
bool ParseInteger(const std::string& text, long long& out, bool& outOfRange);

bool ParseInteger(const std::string& text, long long& out) {
    bool outOfRange;
    return ParseInteger(text, out, outOfRange);
}

bool ParseInteger(const std::string& text, long long& out, bool& outOfRange) {
    outOfRange = false;
    std::string t = Trim(text);
    if (t.empty())
        return false;
    int base = 10;
    size_t start = 0;
    bool negative = false;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        start = 1;
    }
    if (t.size() > start + 2 && t[start] == '0' && (t[start + 1] == 'x' || t[start + 1] == 'X')) {
        base = 16;
        start += 2;
    }
    unsigned long long v = 0;
    auto [p, ec] = std::from_chars(t.data() + start, t.data() + t.size(), v, base);
    if (p != t.data() + t.size() || (ec != std::errc() && ec != std::errc::result_out_of_range))
        return false;
    constexpr unsigned long long kMax = static_cast<unsigned long long>(LLONG_MAX);
    if (ec == std::errc::result_out_of_range || v > kMax + (negative ? 1 : 0)) {
        outOfRange = true;
        return false;
    }
    // -2^63 has no positive counterpart: negate in unsigned arithmetic.
    out = negative ? static_cast<long long>(0ull - v) : static_cast<long long>(v);
    return true;
}

bool ParseReal(const std::string& text, double& out) {
    std::string t = Trim(text);
    if (t.empty())
        return false;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
    return ec == std::errc() && p == t.data() + t.size() && std::isfinite(out);
}

// One "key = value" line of the chassis file and where it stood.
struct Entry {
    std::string key, value;
    int line;
};

struct Section {
    std::string name;
    int line;
    std::vector<Entry> entries;
};

std::vector<Section> ReadIni(std::istream& in, const std::string& file) {
    std::vector<Section> sections;
    std::string raw;
    int line = 0;
    while (std::getline(in, raw)) {
        ++line;
        std::string s = Trim(raw);
        if (s.empty() || s[0] == ';' || s[0] == '#')
            continue;
        if (s[0] == '[') {
            if (s.back() != ']' || s.size() < 3)
                throw ParseError{file + ", line " + std::to_string(line) +
                                 ": malformed section header \"" + s + "\""};
            sections.push_back({Trim(s.substr(1, s.size() - 2)), line, {}});
            continue;
        }
        size_t eq = s.find('=');
        if (eq == std::string::npos)
            throw ParseError{file + ", line " + std::to_string(line) +
                             ": expected key=value, found \"" + s + "\""};
        if (sections.empty())
            throw ParseError{file + ", line " + std::to_string(line) + ", key " +
                             Trim(s.substr(0, eq)) + ": key outside any section"};
        sections.back().entries.push_back({Trim(s.substr(0, eq)), Trim(s.substr(eq + 1)), line});
    }
    return sections;
}

class SectionReader {
public:
    SectionReader(const Section& s, const std::string& file) : s_(s), file_(file) {}

    [[noreturn]] void fail(const Entry& e, const std::string& why) const {
        throw ParseError{file_ + ", line " + std::to_string(e.line) + ", key " + e.key + " in [" +
                         s_.name + "]: " + why};
    }

    // Calls handler for every entry; unknown keys are errors.
    void each(const std::map<std::string, std::function<void(const Entry&)>>& handlers) const {
        for (const Entry& e : s_.entries) {
            auto it = handlers.find(Lower(e.key));
            if (it == handlers.end())
                fail(e, "unknown key");
            it->second(e);
        }
    }

    long long integer(const Entry& e, long long lo, long long hi) const {
        long long v = 0;
        bool outOfRange = false;
        if (!ParseInteger(e.value, v, outOfRange) && !outOfRange)
            fail(e, "\"" + e.value + "\" is not an integer");
        if (outOfRange || v < lo || v > hi)
            fail(e, "value " + e.value + " out of range " + std::to_string(lo) + ".." +
                        std::to_string(hi));
        return v;
    }

    double real(const Entry& e) const {
        double v;
        if (!ParseReal(e.value, v))
            fail(e, "\"" + e.value + "\" is not a number");
        return v;
    }

    std::string text(const Entry& e, size_t maxLen) const {
        if (e.value.size() > maxLen)
            fail(e, "text longer than " + std::to_string(maxLen) + " characters");
        return e.value;
    }

private:
    const Section& s_;
    const std::string& file_;
};

void ReadMemoryTest(const SectionReader& r, const Entry& e, ChannelState& ch) {
    std::istringstream words(e.value);
    std::string mode;
    words >> mode;
    mode = Lower(mode);
    if (mode == "pass") {
        ch.memoryTest = MemoryTestMode::Pass;
    } else if (mode == "fail") {
        ch.memoryTest = MemoryTestMode::HardFailure;
    } else if (mode == "mismatch") {
        std::string a, d, x;
        long long va, vd, vx;
        if (!(words >> a >> d >> x) || !ParseInteger(a, va) || !ParseInteger(d, vd) ||
            !ParseInteger(x, vx) || va < 0 || vd < 0 || vx < 0 || va > 0xFFFFFFFFll ||
            vd > 0xFFFFFFFFll || vx > 0xFFFFFFFFll)
            r.fail(e, "expected \"mismatch <address> <data> <expected>\"");
        ch.memoryTest = MemoryTestMode::Mismatch;
        ch.errorAddress = static_cast<uint32_t>(va);
        ch.errorData = static_cast<uint32_t>(vd);
        ch.expectedData = static_cast<uint32_t>(vx);
    } else {
        r.fail(e, "expected pass, fail or mismatch");
    }
}

void ReadInstrument(const SectionReader& r, const Section& s, Instrument& in) {
    bool channelsGiven = false;
    auto memoryTest = [&](int c) {
        return [&, c](const Entry& e) { ReadMemoryTest(r, e, in.channel[c]); };
    };
    r.each({
        {"resource", [&](const Entry& e) { in.resource = r.text(e, VI_FIND_BUFLEN - 1); }},
        {"model", [&](const Entry& e) { in.model = r.text(e, VI_FIND_BUFLEN - 1); }},
        {"alias", [&](const Entry& e) { in.alias = r.text(e, VI_FIND_BUFLEN - 1); }},
        {"manufacturer", [&](const Entry& e) { in.manufacturer = r.text(e, VI_FIND_BUFLEN - 1); }},
        {"subsystemid",
         [&](const Entry& e) { in.subsystemId = static_cast<uint16_t>(r.integer(e, 0, 0xFFFF)); }},
        {"channels",
         [&](const Entry& e) {
             in.channels = static_cast<int>(r.integer(e, 1, 3));
             channelsGiven = true;
         }},
        {"cardid",
         [&](const Entry& e) {
             in.cardId = static_cast<int32_t>(r.integer(e, INT32_MIN, INT32_MAX));
         }},
        {"calibrationdate",
         [&](const Entry& e) {
             unsigned y, m, d;
             char tail;
             if (std::sscanf(e.value.c_str(), "%u-%u-%u%c", &y, &m, &d, &tail) != 3)
                 r.fail(e, "expected year-month-day");
             in.calYear = y;
             in.calMonth = m;
             in.calDay = d;
         }},
        {"driverrevision",
         [&](const Entry& e) { in.driverRevision = r.text(e, NV815_REVISION_BUFLEN - 1); }},
        {"instrumentrevision",
         [&](const Entry& e) { in.instrumentRevision = r.text(e, NV815_REVISION_BUFLEN - 1); }},
        {"opendelayms",
         [&](const Entry& e) { in.openDelayMs = static_cast<int>(r.integer(e, 0, 600000)); }},
        {"memorytestms",
         [&](const Entry& e) { in.memoryTestMs = static_cast<int>(r.integer(e, 0, 600000)); }},
        {"chassis", [&](const Entry& e) { in.chassis = static_cast<int>(r.integer(e, 0, 65535)); }},
        {"slot", [&](const Entry& e) { in.slot = static_cast<int>(r.integer(e, 0, 31)); }},
        {"memorytest1", memoryTest(1)},
        {"memorytest2", memoryTest(2)},
        {"memorytest3", memoryTest(3)},
    });
    if (in.resource.empty())
        throw ParseError{"section [" + s.name + "] at line " + std::to_string(s.line) +
                         ": key Resource is missing"};
    if (in.model.empty())
        throw ParseError{"section [" + s.name + "] at line " + std::to_string(s.line) +
                         ": key Model is missing"};
    if (!channelsGiven)
        in.channels = in.subsystemId == 0x4404 ? 2 : 3;
}

void ReadLimits(const SectionReader& r, Limits& l) {
    auto real = [&](double& field) { return [&](const Entry& e) { field = r.real(e); }; };
    auto whole = [&](int& field) {
        return [&](const Entry& e) { field = static_cast<int>(r.integer(e, -1000000, 1000000)); };
    };
    r.each({
        {"attenuationmin", real(l.attenuationMin)},
        {"attenuationmax", real(l.attenuationMax)},
        {"offsetmin", real(l.offsetMin)},
        {"offsetmax", real(l.offsetMax)},
        {"symmetrymin", real(l.symmetryMin)},
        {"symmetrymax", real(l.symmetryMax)},
        {"frequencymin", real(l.frequencyMin)},
        {"frequencymax", real(l.frequencyMax)},
        {"clockfrequencymin", real(l.clockFrequencyMin)},
        {"clockfrequencymax", real(l.clockFrequencyMax)},
        {"steptimemin", real(l.stepTimeMin)},
        {"steptimemax", real(l.stepTimeMax)},
        {"extfreqmin", real(l.extFreqMin)},
        {"extfreqmax", real(l.extFreqMax)},
        {"wavetypemax", whole(l.waveTypeMax)},
        {"triggersourcemax", whole(l.triggerSourceMax)},
        {"triggermodemax", whole(l.triggerModeMax)},
        {"fsksourcemax", whole(l.fskSourceMax)},
        {"clocksourcemax", whole(l.clockSourceMax)},
        {"multipliermin", whole(l.multiplierMin)},
        {"multipliermax", whole(l.multiplierMax)},
        {"clockmodemax", whole(l.clockModeMax)},
        {"counterstepmax",
         [&](const Entry& e) {
             l.counterStepMax = static_cast<uint32_t>(r.integer(e, 1, 1u << 31));
         }},
        {"wavelengthmax",
         [&](const Entry& e) { l.waveLengthMax = static_cast<int>(r.integer(e, 1, 1 << 26)); }},
    });
}

void ReadFault(const SectionReader& r, const Section& s, Fault& f) {
    bool statusGiven = false;
    r.each({
        {"function", [&](const Entry& e) { f.function = r.text(e, 64); }},
        {"status",
         [&](const Entry& e) {
             f.status = static_cast<ViStatus>(r.integer(e, INT32_MIN, 0xFFFFFFFFll));
             statusGiven = true;
         }},
        {"call", [&](const Entry& e) { f.nth = static_cast<int>(r.integer(e, 0, 1000000000)); }},
        {"channel", [&](const Entry& e) { f.channel = static_cast<int>(r.integer(e, 0, 3)); }},
        {"resource", [&](const Entry& e) { f.resource = r.text(e, VI_FIND_BUFLEN - 1); }},
    });
    if (f.function.empty() || !statusGiven)
        throw ParseError{"section [" + s.name + "] at line " + std::to_string(s.line) +
                         ": a fault needs Function and Status"};
    if (f.status == 0)
        throw ParseError{"section [" + s.name + "] at line " + std::to_string(s.line) +
                         ": a fault status must not be 0"};
}

} // namespace

bool Chassis::load(const std::string& path) {
    reset();
    if (path.empty()) {
        loadDefault();
        return true;
    }
    try {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            throw ParseError{path + ": is a directory, not a chassis file"};
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw ParseError{path + ": cannot be read"};
        std::ostringstream text;
        text << in.rdbuf();
        if (in.bad() || (!in.eof() && in.fail() && in.peek() != EOF))
            throw ParseError{path + ": cannot be read"};
        return parse(text.str(), path);
    } catch (const ParseError& e) {
        fail(path, e.message);
        return false;
    }
}

void Chassis::fail(const std::string& path, const std::string& message) {
    loadError_ = message.rfind(path, 0) == 0 ? message : path + ": " + message;
    instruments.clear();
    faults.clear();
    limits = Limits{};
}

bool Chassis::loadText(const std::string& text, const std::string& name) {
    reset();
    return parse(text, name);
}

bool Chassis::parse(const std::string& text, const std::string& path) {
    try {
        std::istringstream in(text);
        std::vector<Section> sections = ReadIni(in, path);
        std::vector<Instrument> found;
        for (const Section& s : sections) {
            SectionReader r(s, path);
            std::string name = Lower(s.name);
            if (name == "chassis") {
                r.each({
                    {"vendor", [&](const Entry& e) { vendor = r.text(e, VI_FIND_BUFLEN - 1); }},
                    {"implversion",
                     [&](const Entry& e) {
                         implVersion = static_cast<uint32_t>(r.integer(e, 0, 0xFFFFFFFFll));
                     }},
                });
            } else if (name == "limits") {
                ReadLimits(r, limits);
            } else if (name.rfind("instrument", 0) == 0) {
                Instrument in;
                ReadInstrument(r, s, in);
                for (const Instrument& other : found)
                    if (Lower(other.resource) == Lower(in.resource))
                        throw ParseError{path + ", line " + std::to_string(s.line) + ": resource " +
                                         in.resource + " is listed twice"};
                found.push_back(in);
            } else if (name.rfind("fault", 0) == 0) {
                Fault f;
                ReadFault(r, s, f);
                faults.push_back(f);
            } else {
                throw ParseError{path + ", line " + std::to_string(s.line) + ": unknown section [" +
                                 s.name + "]"};
            }
        }
        instruments = std::move(found);
        return true;
    } catch (const ParseError& e) {
        fail(path, e.message);
        return false;
    }
}

} // namespace sim
