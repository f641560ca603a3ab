// The simulator's control interface (nvsim.h).
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "SimChassis.h"
#include "nvsim.h"

using sim::Chassis;
using sim::EntryFailed;
using sim::EntryLock;

namespace {
sim::Instrument* InstrumentOf(const char* resource) {
    Chassis& ch = Chassis::instance();
    const int index = resource ? ch.instrumentIndex(resource) : -1;
    return index < 0 ? nullptr : &ch.instruments[index];
}

sim::ChannelState* ChannelOf(const char* resource, int channel) {
    sim::Instrument* in = InstrumentOf(resource);
    if (!in || channel < 1 || channel > 3)
        return nullptr;
    return &in->channel[channel];
}
// Every field of a channel's state the tests read, by name.
std::map<std::string, std::function<double()>> ChannelFields(const sim::ChannelState& c) {
    return {
        {"outputOn", [&c] { return c.outputOn; }},
        {"amOn", [&c] { return c.amOn; }},
        {"fskPin", [&c] { return c.fskPin; }},
        {"fskSource", [&c] { return c.fskSource; }},
        {"attenuation", [&c] { return c.attenuation; }},
        {"offset", [&c] { return c.offset; }},
        {"offsetApplied", [&c] { return c.offsetApplied; }},
        {"triggerSource", [&c] { return c.triggerSource; }},
        {"triggerMode", [&c] { return c.triggerMode; }},
        {"clockSource", [&c] { return c.clockSource; }},
        {"multiplier", [&c] { return c.multiplier; }},
        {"extFrequency", [&c] { return c.extFrequency; }},
        {"clockMode", [&c] { return c.clockMode; }},
        {"clockStart", [&c] { return c.clockStart; }},
        {"clockEnd", [&c] { return c.clockEnd; }},
        {"clockStep", [&c] { return c.clockStep; }},
        {"clockStepInterval", [&c] { return c.clockStepInterval; }},
        {"counterStep", [&c] { return c.counterStep; }},
        {"generator", [&c] { return c.generator; }},
        {"waveType", [&c] { return c.waveType; }},
        {"sweepMode", [&c] { return c.sweepMode; }},
        {"frequency", [&c] { return c.frequency; }},
        {"symmetry", [&c] { return c.symmetry; }},
        {"sweepStart", [&c] { return c.sweepStart; }},
        {"sweepEnd", [&c] { return c.sweepEnd; }},
        {"sweepStep", [&c] { return c.sweepStep; }},
        {"sweepStepTime", [&c] { return c.sweepStepTime; }},
        {"waveLength", [&c] { return static_cast<double>(c.waveLength); }},
    };
}
} // namespace

void sim::WriteChannelState(const Chassis& chassis, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return;
    for (const Instrument& in : chassis.instruments)
        for (int ch = 1; ch <= in.channels && ch <= 3; ++ch)
            for (const auto& [name, value] : ChannelFields(in.channel[ch]))
                std::fprintf(f, "%s/%d/%s=%s\n", in.resource.c_str(), ch, name.c_str(),
                             Real(value()).c_str());
    std::fclose(f);
}

extern "C" {

int nvsim_load_chassis(const char* path, char* error, int errorSize) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    bool ok = ch.load(path ? path : "");
    if (error && errorSize > 0)
        std::snprintf(error, errorSize, "%s", ch.loadError().c_str());
    return ok ? 0 : -1;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

const char* nvsim_load_error(void) try {
    EntryLock entry;
    return Chassis::instance().loadError().c_str();
} catch (...) {
    EntryFailed(__func__);
    return "";
}

void nvsim_fail(const char* function, int32_t status, int nth, int channel,
                const char* resource) try {
    EntryLock entry;
    sim::Fault f;
    f.function = function ? function : "*";
    f.status = status;
    f.nth = nth;
    f.channel = channel;
    f.resource = resource ? resource : "";
    Chassis::instance().faults.push_back(f);
} catch (...) {
    EntryFailed(__func__);
}

void nvsim_clear_faults(void) try {
    EntryLock entry;
    Chassis::instance().faults.clear();
} catch (...) {
    EntryFailed(__func__);
}

int nvsim_set_open_delay(const char* resource, int milliseconds) try {
    EntryLock entry;
    sim::Instrument* in = InstrumentOf(resource);
    if (!in || milliseconds < 0)
        return -1;
    in->openDelayMs = milliseconds;
    return 0;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

int nvsim_set_memory_test(const char* resource, int channel, int mode, uint32_t address,
                          uint32_t data, uint32_t expected) try {
    EntryLock entry;
    sim::ChannelState* c = ChannelOf(resource, channel);
    if (!c || mode < 0 || mode > 2)
        return -1;
    c->memoryTest = static_cast<sim::MemoryTestMode>(mode);
    c->errorAddress = address;
    c->errorData = data;
    c->expectedData = expected;
    return 0;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

int nvsim_set_memory_test_duration(const char* resource, int milliseconds) try {
    EntryLock entry;
    sim::Instrument* in = InstrumentOf(resource);
    if (!in || milliseconds < 0)
        return -1;
    in->memoryTestMs = milliseconds;
    return 0;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

int nvsim_set_calibration_date(const char* resource, uint32_t year, uint32_t month,
                               uint32_t day) try {
    EntryLock entry;
    sim::Instrument* in = InstrumentOf(resource);
    if (!in)
        return -1;
    in->calYear = year;
    in->calMonth = month;
    in->calDay = day;
    return 0;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

void nvsim_set_visa_identity(const char* vendor, uint32_t implementationVersion) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    ch.vendor = std::string(vendor ? vendor : "").substr(0, 255);
    ch.implVersion = implementationVersion;
} catch (...) {
    EntryFailed(__func__);
}

int nvsim_journal_count(void) try {
    EntryLock entry;
    return static_cast<int>(Chassis::instance().journal.size());
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

long long nvsim_journal_dropped(void) try {
    EntryLock entry;
    return Chassis::instance().journalDropped;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

const char* nvsim_journal_line(int index) try {
    EntryLock entry;
    auto& j = Chassis::instance().journal;
    if (index < 0 || index >= static_cast<int>(j.size()))
        return "";
    return j[index].c_str();
} catch (...) {
    EntryFailed(__func__);
    return "";
}

void nvsim_journal_clear(void) try {
    EntryLock entry;
    Chassis::instance().clearJournal();
} catch (...) {
    EntryFailed(__func__);
}

void nvsim_journal_follow(nvsim_journal_sink sink, void* context) try {
    EntryLock entry;
    Chassis::instance().journalSink = sink;
    Chassis::instance().journalSinkContext = context;
} catch (...) {
    EntryFailed(__func__);
}

uint64_t nvsim_checksum(const double* samples, int count) try {
    EntryLock entry;
    uint64_t hash = 0xCBF29CE484222325u;
    for (int i = 0; samples && i < count; ++i) {
        uint64_t bits;
        std::memcpy(&bits, &samples[i], sizeof bits);
        hash = (hash ^ bits) * 0x100000001B3u;
    }
    return hash;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

int nvsim_open_sessions(void) try {
    EntryLock entry;
    return static_cast<int>(Chassis::instance().sessions.size());
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

int nvsim_channel_value(const char* resource, int channel, const char* field, double* value) try {
    EntryLock entry;
    sim::ChannelState* c = ChannelOf(resource, channel);
    if (!c || !field || !value)
        return -1;
    const auto fields = ChannelFields(*c);
    auto it = fields.find(field);
    if (it == fields.end())
        return -1;
    *value = it->second();
    return 0;
} catch (...) {
    EntryFailed(__func__);
    return 0;
}

} // extern "C"
