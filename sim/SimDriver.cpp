// The simulated instrument driver: per-card, per-channel state with every
// argument checked before anything changes, so a refused call changes nothing.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "SimChassis.h"
#include "SimDriverCall.h"
#include "nv815.h" // the definitions below must match these declarations
#include "nvsim.h"

using namespace sim;

namespace {

bool IsBoolean(ViInt32 v) {
    return v == 0 || v == 1;
}
bool Within(double v, double lo, double hi) {
    return std::isfinite(v) && v >= lo && v <= hi;
}

void CopyMessage(ViChar* out, const std::string& text) {
    std::snprintf(out, NV815_MESSAGE_BUFLEN, "%s", text.c_str());
}

// The samples as the journal shows them: their checksum when the count is one
// the card could take (so a wild count never reads past the caller's buffer).
std::string SamplesText(ViInt32 count, const double* samples) {
    if (!samples)
        return "NULL";
    if (count < 1 || count > Chassis::instance().limits.waveLengthMax)
        return "unread";
    char text[24];
    std::snprintf(text, sizeof text, "%016llX",
                  static_cast<unsigned long long>(nvsim_checksum(samples, count)));
    return text;
}

} // namespace

extern "C" {

ViStatus nv815_init(const ViChar* resource, ViInt32 idQuery, ViInt32 reset, ViSession* vi) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    std::string args = (resource ? "\"" + std::string(resource) + "\"" : std::string("NULL")) +
                       ", " + I(idQuery) + ", " + I(reset);
    auto done = [&](ViStatus s) {
        ch.record("nv815_init", args, s);
        return s;
    };
    if (!vi)
        return done(kErrNullPointer);
    *vi = 0;
    if (!resource || !*resource)
        return done(VI_ERROR_INV_RSRC_NAME);
    if (ViStatus f = ch.injected(__func__, 0, resource))
        return done(f);
    int index = ch.instrumentIndex(resource);
    if (index < 0)
        return done(VI_ERROR_RSRC_NFOUND);
    Instrument& in = ch.instruments[index];
    if (in.exclusiveLockHolder != 0)
        return done(VI_ERROR_RSRC_LOCKED);
    if (!in.isCard())
        return done(kErrNotCard);
    SessionInfo s{SessionKind::Instrument};
    s.instrument = index;
    *vi = ch.newSession(std::move(s));
    return done(VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_close(ViSession vi) try {
    EntryLock entry;
    Call c(__func__, vi, "");
    if (c.ok())
        Chassis::instance().close(vi);
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_error_message(ViSession vi, ViStatus status, ViChar message[]) try {
    EntryLock entry;
    // Like the VISA description it needs no open session, and it is not
    // journalled; it fails when told to, leaving the text as it was.
    Chassis& ch = Chassis::instance();
    const Instrument* in = ch.instrumentOf(vi);
    if (ViStatus f = ch.injected(__func__, 0, in ? in->resource : std::string()))
        return f;
    if (!message)
        return kErrNullPointer;
    CopyMessage(message, Chassis::statusText(status));
    return VI_SUCCESS;
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetActiveChannel(ViSession vi, ViInt32 channel) try {
    EntryLock entry;
    Call c(__func__, vi, I(channel));
    if (!c.ok())
        return c.result();
    if (c.check(channel >= 1 && channel <= c.card().channels, kErrChannel))
        c.session().activeChannel = channel;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetInstrumentMode(ViSession vi, ViInt32 outputOn) try {
    EntryLock entry;
    Call c(__func__, vi, I(outputOn));
    if (!c.ok())
        return c.result();
    if (c.check(IsBoolean(outputOn), kErrBoolean))
        c.channel().outputOn = outputOn;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetAttenuation(ViSession vi, double attenuation) try {
    EntryLock entry;
    Call c(__func__, vi, Real(attenuation));
    if (!c.ok())
        return c.result();
    if (c.check(Within(attenuation, c.limits().attenuationMin, c.limits().attenuationMax),
                kErrAttenuation))
        c.channel().attenuation = attenuation;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetOutputOffsetVoltage(ViSession vi, double offset, ViInt32 apply) try {
    EntryLock entry;
    Call c(__func__, vi, Args({Real(offset), I(apply)}));
    if (!c.ok())
        return c.result();
    if (c.check(Within(offset, c.limits().offsetMin, c.limits().offsetMax), kErrOffset) &&
        c.check(IsBoolean(apply), kErrBoolean)) {
        c.channel().offset = offset;
        c.channel().offsetApplied = apply;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetAMMode(ViSession vi, ViInt32 on) try {
    EntryLock entry;
    Call c(__func__, vi, I(on));
    if (!c.ok())
        return c.result();
    if (c.check(IsBoolean(on), kErrBoolean))
        c.channel().amOn = on;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetFSKPin(ViSession vi, ViInt32 high) try {
    EntryLock entry;
    Call c(__func__, vi, I(high));
    if (!c.ok())
        return c.result();
    if (c.check(IsBoolean(high), kErrBoolean))
        c.channel().fskPin = high;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetFSKSource(ViSession vi, ViInt32 source) try {
    EntryLock entry;
    Call c(__func__, vi, I(source));
    if (!c.ok())
        return c.result();
    if (c.check(source >= 0 && source <= c.limits().fskSourceMax, kErrFskSource))
        c.channel().fskSource = source;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetTriggerMode(ViSession vi, ViInt32 source, ViInt32 mode) try {
    EntryLock entry;
    Call c(__func__, vi, Args({I(source), I(mode)}));
    if (!c.ok())
        return c.result();
    if (c.check(source >= 0 && source <= c.limits().triggerSourceMax, kErrTriggerSource) &&
        c.check(mode >= 0 && mode <= c.limits().triggerModeMax, kErrTriggerMode)) {
        c.channel().triggerSource = source;
        c.channel().triggerMode = mode;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetClockSource(ViSession vi, ViInt32 source, double externalFrequency,
                              ViInt32 multiplier) try {
    EntryLock entry;
    Call c(__func__, vi, Args({I(source), Real(externalFrequency), I(multiplier)}));
    if (!c.ok())
        return c.result();
    const Limits& l = c.limits();
    if (c.check(source >= 0 && source <= l.clockSourceMax, kErrClockSource) &&
        c.check(source == 0 || Within(externalFrequency, l.extFreqMin, l.extFreqMax),
                kErrExtFrequency) &&
        c.check(multiplier == 1 || (multiplier >= l.multiplierMin && multiplier <= l.multiplierMax),
                kErrMultiplier)) {
        c.channel().clockSource = source;
        c.channel().extFrequency = externalFrequency;
        c.channel().multiplier = multiplier;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetClockMode(ViSession vi, ViInt32 mode, double start, double end, double step,
                            double stepInterval) try {
    EntryLock entry;
    Call c(__func__, vi, Args({I(mode), Real(start), Real(end), Real(step), Real(stepInterval)}));
    if (!c.ok())
        return c.result();
    const Limits& l = c.limits();
    if (c.check(mode >= 0 && mode <= l.clockModeMax, kErrClockMode) &&
        c.check(Within(start, l.clockFrequencyMin, l.clockFrequencyMax) &&
                    Within(end, l.clockFrequencyMin, l.clockFrequencyMax),
                kErrFrequency) &&
        c.check(Within(step, 0, l.clockFrequencyMax) && step > 0, kErrSweepRange) &&
        c.check(Within(stepInterval, l.stepTimeMin, l.stepTimeMax), kErrStepTime)) {
        ChannelState& s = c.channel();
        s.clockMode = mode;
        s.clockStart = start;
        s.clockEnd = end;
        s.clockStep = step;
        s.clockStepInterval = stepInterval;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_SetCounterStep(ViSession vi, ViUInt32 step) try {
    EntryLock entry;
    Call c(__func__, vi, I(step));
    if (!c.ok())
        return c.result();
    bool powerOfTwo = step != 0 && (step & (step - 1)) == 0;
    if (c.check(powerOfTwo && step <= c.limits().counterStepMax, kErrCounterStep))
        c.channel().counterStep = step;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_GenerateSignal(ViSession vi, double frequency, ViInt32 waveType,
                              double symmetry) try {
    EntryLock entry;
    Call c(__func__, vi, Args({Real(frequency), I(waveType), Real(symmetry)}));
    if (!c.ok())
        return c.result();
    const Limits& l = c.limits();
    if (c.check(Within(frequency, l.frequencyMin, l.frequencyMax), kErrFrequency) &&
        c.check(waveType >= 0 && waveType <= l.waveTypeMax, kErrWaveType) &&
        c.check(Within(symmetry, l.symmetryMin, l.symmetryMax), kErrSymmetry)) {
        ChannelState& s = c.channel();
        s.generator = 1;
        s.frequency = frequency;
        s.waveType = waveType;
        s.symmetry = symmetry;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_GenerateSweep(ViSession vi, ViInt32 waveType, double symmetry, ViInt32 sweepMode,
                             double start, double end, double step, double stepTime) try {
    EntryLock entry;
    Call c(__func__, vi,
           Args({I(waveType), Real(symmetry), I(sweepMode), Real(start), Real(end), Real(step),
                 Real(stepTime)}));
    if (!c.ok())
        return c.result();
    const Limits& l = c.limits();
    if (c.check(waveType >= 0 && waveType <= l.waveTypeMax, kErrWaveType) &&
        c.check(Within(symmetry, l.symmetryMin, l.symmetryMax), kErrSymmetry) &&
        c.check(IsBoolean(sweepMode), kErrSweepMode) &&
        c.check(Within(start, l.frequencyMin, l.frequencyMax) &&
                    Within(end, l.frequencyMin, l.frequencyMax),
                kErrFrequency) &&
        c.check(Within(step, 0, l.frequencyMax) && step > 0, kErrSweepRange) &&
        c.check(Within(stepTime, l.stepTimeMin, l.stepTimeMax), kErrStepTime)) {
        ChannelState& s = c.channel();
        s.generator = 2;
        s.waveType = waveType;
        s.symmetry = symmetry;
        s.sweepMode = sweepMode;
        s.sweepStart = start;
        s.sweepEnd = end;
        s.sweepStep = step;
        s.sweepStepTime = stepTime;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_LoadArbitraryWaveform(ViSession vi, ViInt32 count, const double* samples) try {
    EntryLock entry;
    Call c(__func__, vi, Args({I(count), SamplesText(count, samples)}));
    if (!c.ok())
        return c.result();
    if (!c.check(count >= 1 && count <= c.limits().waveLengthMax, kErrWaveLength) ||
        !c.check(samples != nullptr, kErrNullPointer))
        return c.result();
    for (ViInt32 i = 0; i < count; ++i)
        if (!c.check(Within(samples[i], 0, 100), kErrWaveData))
            return c.result();
    ChannelState& s = c.channel();
    s.generator = 3;
    s.waveLength = count;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_MemoryTest(ViSession vi, ViUInt32* errorAddress, ViUInt32* errorData,
                          ViUInt32* expectedData) try {
    EntryLock entry;
    // The test blocks the caller, as on the card; the other threads go on.
    if (const Instrument* in = Chassis::instance().instrumentOf(vi); in && in->memoryTestMs > 0)
        entry.sleep(in->memoryTestMs);
    Call c(__func__, vi, "");
    if (!c.ok())
        return c.result();
    if (!c.check(errorAddress && errorData && expectedData, kErrNullPointer))
        return c.result();
    ChannelState& s = c.channel();
    *errorAddress = *errorData = *expectedData = 0;
    switch (s.memoryTest) {
    case MemoryTestMode::Pass:
        break;
    case MemoryTestMode::Mismatch:
        *errorAddress = s.errorAddress;
        *errorData = s.errorData;
        *expectedData = s.expectedData;
        c.fail(kMemoryTestFailed);
        break;
    case MemoryTestMode::HardFailure:
        c.fail(kErrMemoryHardware);
        break;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_GetCalibrationDate(ViSession vi, ViUInt32* year, ViUInt32* month,
                                  ViUInt32* day) try {
    EntryLock entry;
    Call c(__func__, vi, "");
    if (!c.ok())
        return c.result();
    if (c.check(year && month && day, kErrNullPointer)) {
        *year = c.card().calYear;
        *month = c.card().calMonth;
        *day = c.card().calDay;
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_GetCardId(ViSession vi, ViInt32* cardId) try {
    EntryLock entry;
    Call c(__func__, vi, "");
    if (!c.ok())
        return c.result();
    if (c.check(cardId != nullptr, kErrNullPointer))
        *cardId = c.card().cardId;
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus nv815_revision_query(ViSession vi, ViChar driverRevision[],
                              ViChar instrumentRevision[]) try {
    EntryLock entry;
    Call c(__func__, vi, "");
    if (!c.ok())
        return c.result();
    if (c.check(driverRevision && instrumentRevision, kErrNullPointer)) {
        std::snprintf(driverRevision, NV815_REVISION_BUFLEN, "%s", c.card().driverRevision.c_str());
        std::snprintf(instrumentRevision, NV815_REVISION_BUFLEN, "%s",
                      c.card().instrumentRevision.c_str());
    }
    return c.result();
} catch (...) {
    return EntryFailed(__func__);
}

// The calibration writes, which the simulated card does not take.
#define NVSIM_UNSUPPORTED(name, params)                                                            \
    ViStatus name params try {                                                                     \
        EntryLock entry;                                                                           \
        Chassis::instance().record(#name, "", VI_ERROR_NSUP_OPER);                                 \
        return VI_ERROR_NSUP_OPER;                                                                 \
    } catch (...) {                                                                                \
        return EntryFailed(#name);                                                                 \
    }
NVSIM_UNSUPPORTED(nv815_SetOffsetCalCode, (ViSession, ViInt32))
NVSIM_UNSUPPORTED(nv815_SetOutputOffsetCalVoltages, (ViSession, double, double))
NVSIM_UNSUPPORTED(nv815_SetRangeLimitVoltages, (ViSession, double, double))
NVSIM_UNSUPPORTED(nv815_StoreCalibrationData, (ViSession))
NVSIM_UNSUPPORTED(nv815_WriteCalibrationDate, (ViSession, ViUInt32, ViUInt32, ViUInt32))
NVSIM_UNSUPPORTED(nv815_WriteCardId, (ViSession, ViInt32))

} // extern "C"
