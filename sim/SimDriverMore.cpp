// The simulated driver's instrument-driver functions beyond what the panel
// sends: reset, self-test, error query, the card's registers (BAR0, as VISA
// reads it), EEPROM and instrument memory, the low-level output settings and
// the calibration values it reads back. Each checks every argument before it
// changes anything, as the rest of the driver does.
#include <cmath>
#include <cstdio>

#include "SimDriverCall.h"
#include "SimVisaCommon.h"
#include "nv815.h"

using namespace sim;

namespace {

constexpr ViInt32 kRegisters = 1024; // 32-bit registers in BAR0's 4 KB
constexpr uint32_t kMemoryWords = 1u << 20;
constexpr ViUInt16 kBar0 = 11; // VI_PXI_BAR0_SPACE

ViStatus Register(Call& c, ViSession vi, ViInt32 reg, uint64_t& value, bool write) {
    if (!c.check(reg >= 0 && reg < kRegisters, kErrAddress))
        return c.result();
    return c.fail(RegisterAccess("nv815_Register", vi, kBar0, static_cast<uint64_t>(reg) * 4, 4,
                                 &value, write));
}

bool InMemory(uint32_t address, uint32_t count) {
    return address < kMemoryWords && count <= kMemoryWords - address;
}

// A setting of the active channel checked against its range, then kept.
template <typename T>
ViStatus Keep(const char* fn, ViSession vi, T value, bool valid, ViStatus invalid,
              T ChannelState::*field) {
    Call c(fn, vi, std::to_string(value));
    if (c.ok() && c.check(valid, invalid))
        c.channel().*field = value;
    return c.result();
}

} // namespace

extern "C" {

#define NVSIM_ENTRY(declaration, body)                                                             \
    declaration try {                                                                              \
        EntryLock entry;                                                                           \
        body                                                                                       \
    } catch (...) {                                                                                \
        return EntryFailed(__func__);                                                              \
    }

// Every channel as after power-up; the active channel is channel 1.
NVSIM_ENTRY(ViStatus nv815_reset(ViSession vi), {
    Call c(__func__, vi, "");
    if (!c.ok())
        return c.result();
    for (int ch = 1; ch <= 3; ++ch) {
        ChannelState& s = c.card().channel[ch];
        const ChannelState kept = s; // the memory test's outcome is the chassis's, not state
        s = ChannelState{};
        s.memoryTest = kept.memoryTest;
        s.errorAddress = kept.errorAddress;
        s.errorData = kept.errorData;
        s.expectedData = kept.expectedData;
    }
    c.session().activeChannel = 1;
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_self_test(ViSession vi, ViInt16* result, ViChar message[]), {
    Call c(__func__, vi, "");
    if (c.ok() && c.check(result && message, kErrNullPointer)) {
        *result = 0;
        std::snprintf(message, NV815_MESSAGE_BUFLEN, "Self test passed");
    }
    return c.result();
})

// The session's last refusal and its text, then no error until the next.
NVSIM_ENTRY(ViStatus nv815_error_query(ViSession vi, ViInt32* code, ViChar message[]), {
    Call c(__func__, vi, "");
    if (!c.ok() || !c.check(code && message, kErrNullPointer))
        return c.result();
    const ViStatus last = c.session().lastError;
    *code = last;
    std::snprintf(message, NV815_MESSAGE_BUFLEN, "%s",
                  last == 0 ? "No error." : Chassis::statusText(last).c_str());
    c.session().lastError = 0;
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_ReadRegister(ViSession vi, ViInt32 reg, ViUInt32* data), {
    Call c(__func__, vi, I(reg));
    uint64_t value = 0;
    if (c.ok() && c.check(data != nullptr, kErrNullPointer) &&
        Register(c, vi, reg, value, false) == VI_SUCCESS)
        *data = static_cast<ViUInt32>(value);
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_WriteRegister(ViSession vi, ViInt32 reg, ViUInt32 data), {
    Call c(__func__, vi, I(reg) + ", " + I(data));
    uint64_t value = data;
    if (c.ok())
        Register(c, vi, reg, value, true);
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_ReadEeprom(ViSession vi, ViInt32 address, ViInt32* data), {
    Call c(__func__, vi, I(address));
    if (c.ok() && c.check(data != nullptr, kErrNullPointer) &&
        c.check(address >= 0 && address < 256, kErrAddress))
        *data = c.card().eeprom[static_cast<size_t>(address)];
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_WriteEeprom(ViSession vi, ViInt32 address, ViInt32 data), {
    Call c(__func__, vi, I(address) + ", " + I(data));
    if (c.ok() && c.check(address >= 0 && address < 256, kErrAddress))
        c.card().eeprom[static_cast<size_t>(address)] = data;
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_ReadInstrumentMemoryArray(ViSession vi, ViUInt32 address, ViUInt32 count,
                                                     ViUInt32* data),
            {
                Call c(__func__, vi, I(address) + ", " + I(count));
                if (!c.ok() || !c.check(data != nullptr || count == 0, kErrNullPointer) ||
                    !c.check(InMemory(address, count), kErrAddress))
                    return c.result();
                const auto& memory = c.card().memory;
                for (uint32_t i = 0; i < count; ++i) {
                    const auto it = memory.find(address + i);
                    data[i] = it == memory.end() ? 0 : it->second;
                }
                return c.result();
            })

NVSIM_ENTRY(ViStatus nv815_ReadInstrumentMemory(ViSession vi, ViUInt32 address, ViUInt32* data), {
    Call c(__func__, vi, I(address));
    if (c.ok() && c.check(data != nullptr, kErrNullPointer) &&
        c.check(InMemory(address, 1), kErrAddress)) {
        const auto it = c.card().memory.find(address);
        *data = it == c.card().memory.end() ? 0 : it->second;
    }
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_WriteInstrumentMemoryArray(ViSession vi, ViUInt32 address,
                                                      ViUInt32 count, const ViUInt32* data),
            {
                Call c(__func__, vi, I(address) + ", " + I(count));
                if (!c.ok() || !c.check(data != nullptr || count == 0, kErrNullPointer) ||
                    !c.check(InMemory(address, count), kErrAddress))
                    return c.result();
                for (uint32_t i = 0; i < count; ++i)
                    c.card().memory[address + i] = data[i];
                return c.result();
            })

NVSIM_ENTRY(ViStatus nv815_WriteInstrumentMemory(ViSession vi, ViUInt32 address, ViUInt32 data), {
    Call c(__func__, vi, I(address) + ", " + I(data));
    if (c.ok() && c.check(InMemory(address, 1), kErrAddress))
        c.card().memory[address] = data;
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_ResetAddressCounter(ViSession vi), {
    Call c(__func__, vi, "");
    if (c.ok())
        c.channel().addressCounter = 0;
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_SetLockMode(ViSession vi, ViInt32 mode), {
    Call c(__func__, vi, I(mode));
    if (c.ok() && c.check(mode == 0 || mode == 1, kErrBoolean))
        c.card().lockMode = mode;
    return c.result();
})

// The shape of the channel's generated signal; its frequency and symmetry stay.
NVSIM_ENTRY(ViStatus nv815_SetSignal(ViSession vi, ViInt32 waveType), {
    Call c(__func__, vi, I(waveType));
    if (c.ok() && c.check(waveType >= 0 && waveType <= c.limits().waveTypeMax, kErrWaveType))
        c.channel().waveType = waveType;
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_SetOutputVoltage(ViSession vi, double voltage),
            return Keep(__func__, vi, voltage,
                        std::isfinite(voltage) && voltage >= 0 && voltage <= 10, kErrVoltage,
                        &ChannelState::outputVoltage);)
NVSIM_ENTRY(ViStatus nv815_SetMainDacCode(ViSession vi, ViInt32 code),
            return Keep(__func__, vi, int(code), code >= 0 && code <= 65535, kErrDacCode,
                        &ChannelState::mainDacCode);)
NVSIM_ENTRY(ViStatus nv815_SetRangeDacCode(ViSession vi, ViInt32 code),
            return Keep(__func__, vi, int(code), code >= 0 && code <= 65535, kErrDacCode,
                        &ChannelState::rangeDacCode);)
NVSIM_ENTRY(ViStatus nv815_SetOutputOffsetDacCode(ViSession vi, ViInt32 code),
            return Keep(__func__, vi, int(code), code >= 0 && code <= 65535, kErrDacCode,
                        &ChannelState::offsetDacCode);)

NVSIM_ENTRY(ViStatus nv815_GetOffsetCalCode(ViSession vi, ViInt32* code), {
    Call c(__func__, vi, "");
    if (c.ok() && c.check(code != nullptr, kErrNullPointer))
        *code = c.card().offsetCalCode;
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_GetOutputOffsetCalVoltages(ViSession vi, double* low, double* high), {
    Call c(__func__, vi, "");
    if (c.ok() && c.check(low && high, kErrNullPointer)) {
        *low = c.card().offsetCalLow;
        *high = c.card().offsetCalHigh;
    }
    return c.result();
})

NVSIM_ENTRY(ViStatus nv815_GetRangeLimitVoltages(ViSession vi, double* low, double* high), {
    Call c(__func__, vi, "");
    if (c.ok() && c.check(low && high, kErrNullPointer)) {
        *low = c.card().rangeLimitLow;
        *high = c.card().rangeLimitHigh;
    }
    return c.result();
})

} // extern "C"
