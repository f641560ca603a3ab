// The simulated PXI chassis shared by the simulated VISA library and the
// simulated instrument driver. It lives in the VISA library; the driver links
// to that library and reaches the same chassis, sessions and locks.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "nv815_api.h"
#include "visa_types.h"

namespace sim {

// Driver statuses of the simulated card, each with its own text.
enum DriverStatus : uint32_t {
    kErrChannel = 0xBFFC0801u,
    kErrAttenuation = 0xBFFC0802u,
    kErrOffset = 0xBFFC0803u,
    kErrWaveType = 0xBFFC0804u,
    kErrSymmetry = 0xBFFC0805u,
    kErrFrequency = 0xBFFC0806u,
    kErrTriggerSource = 0xBFFC0807u,
    kErrTriggerMode = 0xBFFC0808u,
    kErrFskSource = 0xBFFC0809u,
    kErrClockSource = 0xBFFC080Au,
    kErrMultiplier = 0xBFFC080Bu,
    kErrExtFrequency = 0xBFFC080Cu,
    kErrClockMode = 0xBFFC080Du,
    kErrCounterStep = 0xBFFC080Eu,
    kErrWaveLength = 0xBFFC080Fu,
    kErrWaveData = 0xBFFC0810u,
    kErrBoolean = 0xBFFC0811u,
    kErrSweepMode = 0xBFFC0812u,
    kErrStepTime = 0xBFFC0813u,
    kErrSweepRange = 0xBFFC0814u,
    kErrMemoryHardware = 0xBFFC0815u,
    kErrNullPointer = 0xBFFC0816u,
    kErrNotCard = 0xBFFC0817u,
    kErrAddress = 0xBFFC0818u,
    kErrVoltage = 0xBFFC0819u,
    kErrDacCode = 0xBFFC081Au,
    kMemoryTestFailed = 0xBFFC0901u,
};

struct Limits {
    double attenuationMin = 0, attenuationMax = 40;
    double offsetMin = -5, offsetMax = 5;
    double symmetryMin = 0, symmetryMax = 100;
    double frequencyMin = 0.001, frequencyMax = 10000;            // kHz
    double clockFrequencyMin = 0.001, clockFrequencyMax = 100000; // kHz
    double stepTimeMin = 0.001, stepTimeMax = 1000;               // ms
    double extFreqMin = 1, extFreqMax = 100;                      // MHz
    int waveTypeMax = 2;
    int triggerSourceMax = 9, triggerModeMax = 6;
    int fskSourceMax = 10;
    int clockSourceMax = 1;
    int multiplierMin = 4, multiplierMax = 20; // 1 is always accepted too
    int clockModeMax = 3;
    uint32_t counterStepMax = 262144;
    int waveLengthMax = 262144;
};

enum class MemoryTestMode { Pass, Mismatch, HardFailure };

struct ChannelState {
    int outputOn = 0, amOn = 0, fskPin = 0, fskSource = 0;
    double attenuation = 0, offset = 0;
    int offsetApplied = 0;
    int triggerSource = 0, triggerMode = 6;
    int clockSource = 0, multiplier = 20;
    double extFrequency = 10;
    int clockMode = 0;
    double clockStart = 1, clockEnd = 1, clockStep = 0.001, clockStepInterval = 1;
    uint32_t counterStep = 1;
    // The last generate call: 0 none, 1 signal, 2 sweep, 3 arbitrary.
    int generator = 0;
    int waveType = 0, sweepMode = 0;
    double frequency = 0, symmetry = 50;
    double sweepStart = 0, sweepEnd = 0, sweepStep = 0, sweepStepTime = 0;
    int waveLength = 0; // samples in wave memory; the journal keeps their checksum
    // The low-level settings: output amplitude, DAC codes, the wave memory
    // address counter.
    double outputVoltage = 10;
    int mainDacCode = 0, rangeDacCode = 0, offsetDacCode = 2048;
    uint32_t addressCounter = 0;
    MemoryTestMode memoryTest = MemoryTestMode::Pass;
    uint32_t errorAddress = 0, errorData = 0, expectedData = 0;
};

struct Instrument {
    std::string resource;
    std::string model;
    std::string manufacturer = "Norvale";
    uint16_t vendorId = 0x1C0F, deviceId = 0x0815, subsystemVendorId = 0x1C0F;
    uint16_t subsystemId = 0x4403;
    int channels = 3; // 2 for a card whose subsystem id is 0x4404, unless given
    int32_t cardId = 0;
    uint32_t calYear = 2013, calMonth = 2, calDay = 25;
    std::string driverRevision = "1.4.6", instrumentRevision = "A1";
    int openDelayMs = 0;
    int memoryTestMs = 0;    // how long each channel's memory test takes
    ChannelState channel[4]; // 1..3
    int lockMode = 0;
    // The card's EEPROM (256 words) and instrument memory (1 Mi 32-bit
    // words, zero until written, kept only where written).
    std::array<int32_t, 256> eeprom{};
    std::map<uint32_t, uint32_t> memory;
    // Calibration values the driver reads back.
    int offsetCalCode = 2048;
    double offsetCalLow = -5, offsetCalHigh = 5, rangeLimitLow = 0, rangeLimitHigh = 10;
    std::string alias;          // another name the resource answers to
    int chassis = 1, slot = -1; // where it sits; the slot is its device number unless given
    // Locks: the exclusive holder and how often it locked, the shared lock's key and
    // how often each session sharing it locked.
    ViSession exclusiveLockHolder = 0;
    int exclusiveCount = 0;
    std::string sharedKey;
    std::map<ViSession, int> sharedHolders;
    bool isCard() const;
    int slotNumber() const;
    // Whether some session holds a lock on it, exclusive or shared.
    bool lockedByAnyone() const { return exclusiveLockHolder != 0 || !sharedHolders.empty(); }
};

enum class SessionKind { ResourceManager, Instrument, FindList, MemoryAccess, Event };

struct SessionInfo {
    SessionInfo(SessionKind k) : kind(k) {}
    SessionKind kind;
    ViSession self = 0;   // its own number
    ViSession parent = 0; // resource manager of an instrument or find list
    int instrument = -1;  // index into instruments
    int activeChannel = 1;
    std::vector<std::string> matches; // find list
    size_t next = 0;
    ViUInt32 timeout = 2000;                 // VI_ATTR_TMO_VALUE, milliseconds
    std::map<ViEventType, ViUInt16> enabled; // event type -> mechanisms
    // The attributes a client sets, as VISA names them.
    uint64_t userData = 0;                                 // VI_ATTR_USER_DATA
    uint32_t maxQueue = 50;                                // VI_ATTR_MAX_QUEUE_LENGTH
    int16_t triggerId = -1;                                // VI_ATTR_TRIG_ID: software
    int16_t triggerBus = 1;                                // VI_ATTR_PXI_TRIG_BUS
    int32_t sourceIncrement = 1, destinationIncrement = 1; // VI_ATTR_SRC/DEST_INCREMENT
    bool dmaAllowed = false;                               // VI_ATTR_DMA_ALLOW_EN
    ViStatus lastError = 0; // the driver's last refusal, for nv815_error_query
    // Installed handlers: event type, handler, its user handle.
    struct Handler {
        ViEventType type;
        ViHndlr handler;
        ViAddr userHandle;
    };
    std::vector<Handler> handlers;
    // An event as it occurred: its type, and for an I/O completion the
    // operation's status, job, count of elements and name.
    struct EventData {
        ViEventType type = 0;
        ViStatus status = 0;
        ViUInt32 jobId = 0;
        uint64_t count = 0;
        std::string operation;
    };
    EventData event;                 // an event object's own
    std::deque<EventData> queue;     // an instrument's, waiting for viWaitOnEvent
    std::deque<EventData> suspended; // waiting for handlers to be enabled again
};

// A PXI resource name taken apart: an INSTR resource by its bus, device and
// function or by its chassis and slot, or the memory access resource.
// `canonical` is the same for every spelling of one resource by bus.
struct ResourceName {
    bool valid = false;
    bool memoryAccess = false; // PXI[interface]::MEMACC
    bool bySlot = false;       // PXI[interface]::CHASSISn::SLOTm[::FUNCf][::INSTR]
    int interfaceNumber = 0, bus = 0, device = 0, function = 0;
    int chassis = 0, slot = 0;
    std::string canonical;
};
ResourceName ParseResourceName(const std::string& name);

struct Fault {
    std::string function; // exact entry-point name, or "*" for any
    ViStatus status;
    int nth = 0;          // fail only the nth matching call; 0 = every matching call
    int channel = 0;      // 0 = any channel
    std::string resource; // empty = any resource
    int seen = 0;
};

class Chassis {
public:
    static Chassis& instance();
    // With NVSIM_STATE_FILE set, leaves the cards' state there (WriteChannelState).
    // With NVSIM_JOURNAL_FILE set, the journal is in that file as it grows,
    // one call a line, from the last time it was cleared.
    ~Chassis();

    // Replaces the whole chassis: the built-in description when path is empty,
    // else the INI file. Sessions, faults and the journal are cleared. On a bad
    // description returns false, keeps an empty chassis and sets loadError().
    bool load(const std::string& path);
    // The same from the text of a chassis file; `name` stands for the file in messages.
    bool loadText(const std::string& text, const std::string& name);
    const std::string& loadError() const { return loadError_; }

    std::vector<Instrument> instruments;
    Limits limits;
    std::string vendor = "Norvale Simulated VISA";
    uint32_t implVersion = 0x00501000; // 5.1.0
    std::vector<Fault> faults;

    std::map<ViSession, SessionInfo> sessions;
    ViSession newSession(SessionInfo info);
    SessionInfo* find(ViSession vi);
    // Closes a session and, for a resource manager, everything opened from it.
    void close(ViSession vi);
    Instrument* instrumentOf(ViSession vi);
    int instrumentIndex(const std::string& resource) const;

    // The status a fault injects into this call, or 0. Counts matching calls.
    ViStatus injected(const char* function, int channel, const std::string& resource);
    // A lock held by another session blocks access to the instrument.
    bool lockedAgainst(ViSession vi);

    void record(const std::string& function, const std::string& args, ViStatus status);
    // The latest kJournalLines calls; the older ones dropped, and counted.
    static constexpr size_t kJournalLines = 65536;
    std::deque<std::string> journal;
    long long journalDropped = 0;
    // The journal cleared, in memory and in its file.
    void clearJournal();
    // Sees every line as it is written; survives reset().
    void (*journalSink)(const char* line, void* context) = nullptr;
    void* journalSinkContext = nullptr;

    std::FILE* journalFile_ = nullptr; // NVSIM_JOURNAL_FILE, written as calls come

    static std::string statusText(ViStatus status, bool* known = nullptr);

private:
    Chassis();
    void reset();
    bool parse(const std::string& text, const std::string& path);
    void fail(const std::string& path, const std::string& message);
    void loadDefault();
    ViSession nextSession_ = 0x1000;
    std::string loadError_;
};

// Writes every channel's state, one "resource/channel/field=value" line each
// (what a run left on the cards, for tests of other processes).
void WriteChannelState(const Chassis& chassis, const std::string& path);

// Lower case, for names compared without regard to case.
std::string Lower(std::string s);

// Formats a real the way the journal shows it (up to 15 significant digits).
std::string Real(double v);

// Every C entry point holds the chassis while it runs, so calls from any
// number of threads take turns; one that waits (a lock held elsewhere, a
// delay of the card) lets the others in meanwhile. An exception never
// leaves an entry point: it answers EntryFailed's status.
class EntryLock {
public:
    EntryLock();
    ~EntryLock();
    EntryLock(const EntryLock&) = delete;
    EntryLock& operator=(const EntryLock&) = delete;
    // Waits for the chassis to change (a lock given back, a session closed)
    // or the deadline; false when the deadline came.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    void wait();
    // The caller blocked for a while, the chassis free for the others.
    void sleep(int milliseconds);

private:
    std::unique_lock<std::recursive_mutex> lock_;
};

// Wakes every call waiting in EntryLock::wait.
void ChassisChanged();

// The call journalled as failed with VISA's system error, which it returns.
ViStatus EntryFailed(const char* function) noexcept;

} // namespace sim
