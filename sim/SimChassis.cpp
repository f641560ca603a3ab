#include "SimChassis.h"

#include <condition_variable>
#include <thread>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace sim {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

int Instrument::slotNumber() const {
    return slot >= 0 ? slot : ParseResourceName(resource).device;
}

bool Instrument::isCard() const {
    return model.find("72-815") != std::string::npos || model.find("82-815") != std::string::npos;
}

std::string Real(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

Chassis::Chassis() {
    const char* path = std::getenv("NVSIM_CHASSIS");
    if (!load(path ? path : "")) {
        std::fprintf(stderr, "Simulated chassis: %s\n", loadError_.c_str());
    }
    clearJournal();
}

Chassis::~Chassis() {
    if (const char* path = std::getenv("NVSIM_STATE_FILE"); path && *path)
        WriteChannelState(*this, path);
    if (journalFile_)
        std::fclose(journalFile_);
}

void Chassis::clearJournal() {
    journal.clear();
    journalDropped = 0;
    const char* path = std::getenv("NVSIM_JOURNAL_FILE");
    if (!path || !*path)
        return;
    if (journalFile_)
        std::fclose(journalFile_);
    journalFile_ = std::fopen(path, "w");
}

namespace {
std::recursive_mutex& ChassisMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
std::condition_variable_any& ChassisSignal() {
    static std::condition_variable_any signal;
    return signal;
}
} // namespace

EntryLock::EntryLock() : lock_(ChassisMutex()) {}

EntryLock::~EntryLock() = default;

bool EntryLock::waitUntil(std::chrono::steady_clock::time_point deadline) {
    return ChassisSignal().wait_until(lock_, deadline) == std::cv_status::no_timeout;
}

void EntryLock::wait() {
    ChassisSignal().wait(lock_);
}

void EntryLock::sleep(int milliseconds) {
    lock_.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    lock_.lock();
}

void ChassisChanged() {
    ChassisSignal().notify_all();
}

ViStatus EntryFailed(const char* function) noexcept {
    try {
        Chassis::instance().record(function, "", VI_ERROR_SYSTEM_ERROR);
    } catch (...) {
        // out of memory even for the journal: the status still answers
    }
    return VI_ERROR_SYSTEM_ERROR;
}

Chassis& Chassis::instance() {
    static Chassis chassis;
    return chassis;
}

void Chassis::loadDefault() {
    Instrument a;
    a.resource = "PXI1::13::INSTR";
    a.model = "72-815 3-Channel Function Generator";
    a.subsystemId = 0x4403;
    a.cardId = 1001;
    Instrument b;
    b.resource = "PXI1::14::INSTR";
    b.model = "82-815 2-Channel Function Generator";
    b.subsystemId = 0x4404;
    b.channels = 2;
    b.cardId = 1002;
    b.calYear = 7;
    b.calMonth = 3;
    b.calDay = 5;
    Instrument c;
    c.resource = "PXI2::10::INSTR";
    c.model = "72-815 3-Channel Function Generator";
    c.subsystemId = 0x4403;
    c.cardId = 0;
    Instrument d;
    d.resource = "PXI1::15::INSTR";
    d.model = "40-412 Digital Input/Output";
    d.deviceId = 0x0412;
    d.subsystemId = 0x1234;
    instruments = {a, b, c, d};
}

void Chassis::reset() {
    ChassisChanged();
    // Every session belongs to the chassis it was opened on.
    sessions.clear();
    faults.clear();
    clearJournal();
    instruments.clear();
    limits = Limits{};
    vendor = "Norvale Simulated VISA";
    implVersion = 0x00501000;
    loadError_.clear();
}

ViSession Chassis::newSession(SessionInfo info) {
    ViSession vi = nextSession_++;
    info.self = vi;
    sessions.emplace(vi, std::move(info));
    return vi;
}

SessionInfo* Chassis::find(ViSession vi) {
    auto it = sessions.find(vi);
    return it == sessions.end() ? nullptr : &it->second;
}

void Chassis::close(ViSession vi) {
    std::vector<ViSession> children;
    for (auto& [id, s] : sessions)
        if (s.parent == vi)
            children.push_back(id);
    for (ViSession child : children)
        close(child);
    for (Instrument& in : instruments) {
        if (in.exclusiveLockHolder == vi) {
            in.exclusiveLockHolder = 0;
            in.exclusiveCount = 0;
        }
        in.sharedHolders.erase(vi);
        if (in.sharedHolders.empty())
            in.sharedKey.clear();
    }
    sessions.erase(vi);
    ChassisChanged(); // a lock it held may be granted to a waiting request
}

Instrument* Chassis::instrumentOf(ViSession vi) {
    SessionInfo* s = find(vi);
    if (!s || s->kind != SessionKind::Instrument || s->instrument < 0 ||
        s->instrument >= static_cast<int>(instruments.size()))
        return nullptr;
    return &instruments[s->instrument];
}

int Chassis::instrumentIndex(const std::string& resource) const {
    const ResourceName wanted = ParseResourceName(resource);
    for (size_t i = 0; i < instruments.size(); ++i) {
        const Instrument& in = instruments[i];
        if (Lower(in.resource) == Lower(resource) || (!in.alias.empty() && in.alias == resource))
            return static_cast<int>(i);
        if (!wanted.valid || wanted.memoryAccess)
            continue;
        const ResourceName own = ParseResourceName(in.resource);
        if (wanted.bySlot ? own.valid && wanted.chassis == in.chassis &&
                                wanted.slot == in.slotNumber() && wanted.function == own.function
                          : own.canonical == wanted.canonical)
            return static_cast<int>(i);
    }
    return -1;
}

ViStatus Chassis::injected(const char* function, int channel, const std::string& resource) {
    for (Fault& f : faults) {
        if (f.function != "*" && f.function != function)
            continue;
        if (f.channel != 0 && f.channel != channel)
            continue;
        if (!f.resource.empty() && Lower(f.resource) != Lower(resource))
            continue;
        ++f.seen;
        if (f.nth == 0 || f.seen == f.nth)
            return f.status;
    }
    return VI_SUCCESS;
}

bool Chassis::lockedAgainst(ViSession vi) {
    Instrument* in = instrumentOf(vi);
    if (!in)
        return false;
    if (in->exclusiveLockHolder != 0 && in->exclusiveLockHolder != vi)
        return true;
    // A shared lock keeps out every session that does not share it.
    return !in->sharedHolders.empty() && !in->sharedHolders.count(vi) &&
           in->exclusiveLockHolder != vi;
}

void Chassis::record(const std::string& function, const std::string& args, ViStatus status) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(status));
    if (journal.size() >= kJournalLines) {
        journal.pop_front();
        ++journalDropped;
    }
    journal.push_back(function + "(" + args + ") = " + code);
    if (journalFile_) {
        std::fprintf(journalFile_, "%s\n", journal.back().c_str());
        std::fflush(journalFile_);
    }
    if (journalSink)
        journalSink(journal.back().c_str(), journalSinkContext);
}

} // namespace sim
