// What every VISA client does with a PXI INSTR session: parse resource names,
// read and set the standard attributes, clear the device, and read and write
// registers. Events are in SimVisaEvents.cpp.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

#include "SimVisaCommon.h"
#include "SimVisaConstants.h"

using namespace sim;

namespace {

constexpr ViUInt16 kBar0Space = 11; // VI_PXI_BAR0_SPACE
constexpr uint64_t kConfigBytes = 256, kBar0Bytes = 4096;

// The simulated register space of each instrument: BAR0 as plain memory.
std::map<std::string, std::array<uint8_t, kBar0Bytes>>& Bar0() {
    static std::map<std::string, std::array<uint8_t, kBar0Bytes>> memory;
    return memory;
}

uint32_t ConfigWord(const Instrument& in, uint64_t offset) {
    switch (offset) {
    case 0x00:
        return in.vendorId;
    case 0x02:
        return in.deviceId;
    case 0x2C:
        return in.subsystemVendorId;
    case 0x2E:
        return in.subsystemId;
    default:
        return 0;
    }
}

} // namespace

ViStatus sim::RegisterAccess(const char* function, ViSession vi, ViUInt16 space, uint64_t offset,
                             int width, uint64_t* value, bool write) {
    Chassis& ch = Chassis::instance();
    Instrument* in = ch.instrumentOf(vi);
    if (!in)
        return VI_ERROR_INV_OBJECT;
    if (!value)
        return VI_ERROR_USER_BUF;
    if (ViStatus f = ch.injected(function, 0, in->resource))
        return f;
    if (ch.lockedAgainst(vi))
        return VI_ERROR_RSRC_LOCKED;
    if (space != VI_PXI_CFG_SPACE && space != kBar0Space)
        return VI_ERROR_INV_SPACE;
    const uint64_t size = space == VI_PXI_CFG_SPACE ? kConfigBytes : kBar0Bytes;
    if (offset >= size || offset + static_cast<uint64_t>(width) > size)
        return VI_ERROR_INV_OFFSET;
    if (offset % static_cast<uint64_t>(width) != 0)
        return VI_ERROR_NSUP_ALIGN_OFFSET;
    if (space == VI_PXI_CFG_SPACE) {
        if (write) // the identification is read-only; the rest is not simulated
            return VI_SUCCESS;
        uint64_t v = 0;
        for (int b = 0; b < width; b += 2)
            v |= static_cast<uint64_t>(ConfigWord(*in, offset + static_cast<uint64_t>(b)))
                 << (8 * b);
        *value = width == 1 ? (ConfigWord(*in, offset & ~1ull) >> (8 * (offset & 1))) & 0xFF : v;
        return VI_SUCCESS;
    }
    auto& memory = Bar0()[in->resource];
    if (write)
        std::memcpy(memory.data() + offset, value, static_cast<size_t>(width));
    else {
        *value = 0;
        std::memcpy(value, memory.data() + offset, static_cast<size_t>(width));
    }
    return VI_SUCCESS;
}

namespace {

// Reads or writes `width` bytes at `offset` of `space`, journalled; the
// standard's statuses for a bad space, offset or alignment.
ViStatus Access(const char* function, ViSession vi, ViUInt16 space, uint64_t offset, int width,
                uint64_t* value, bool write) {
    const std::string args = std::to_string(vi) + ", " + std::to_string(space) + ", " +
                             Hex(offset) + (write && value ? ", " + Hex(*value) : "");
    return Done(function, args, RegisterAccess(function, vi, space, offset, width, value, write));
}

template <typename T>
ViStatus In(const char* function, ViSession vi, ViUInt16 space, uint64_t offset, T* val) {
    uint64_t v = 0;
    const ViStatus s = Access(function, vi, space, offset, sizeof(T), val ? &v : nullptr, false);
    if (s == VI_SUCCESS)
        *val = static_cast<T>(v);
    return s;
}

ViStatus Out(const char* function, ViSession vi, ViUInt16 space, uint64_t offset, int width,
             uint64_t val) {
    return Access(function, vi, space, offset, width, &val, true);
}

// Text and number attributes of a session.
ViStatus Attribute(SessionInfo& s, Instrument* in, ViAttr attr, void* value) {
    Chassis& ch = Chassis::instance();
    const ResourceName name = in ? ParseResourceName(in->resource) : ResourceName{};
    auto number = [value](auto v) { return Put(value, v); };
    auto text = [value](const std::string& t) { return PutText(value, t); };
    if (s.kind == SessionKind::Event)
        return EventAttribute(s, attr, value);
    switch (attr) {
    case VI_ATTR_RSRC_MANF_NAME:
        return text(ch.vendor);
    case VI_ATTR_RSRC_IMPL_VERSION:
        return number(static_cast<ViUInt32>(ch.implVersion));
    case VI_ATTR_RSRC_SPEC_VERSION:
        return number(static_cast<ViUInt32>(0x00500800)); // 5.8
    case VI_ATTR_RSRC_MANF_ID:
        return number(static_cast<ViUInt16>(0x1C0F)); // the simulated library's maker
    case VI_ATTR_TMO_VALUE:
        return number(static_cast<ViUInt32>(s.timeout));
    default:
        break;
    }
    if (const ViStatus common = SessionAttribute(s, attr, value); common != VI_ERROR_NSUP_ATTR)
        return common;
    if (!in && s.kind == SessionKind::MemoryAccess)
        return MemoryAccessAttribute(attr, value);
    if (!in)
        return s.kind == SessionKind::ResourceManager && attr == VI_ATTR_RSRC_NAME
                   ? text("::INSTR0")
                   : VI_ERROR_NSUP_ATTR;
    switch (attr) {
    case VI_ATTR_RSRC_NAME:
        return text(in->resource);
    case VI_ATTR_RSRC_CLASS:
        return text("INSTR");
    case VI_ATTR_INTF_TYPE:
        return number(VI_INTF_PXI);
    case VI_ATTR_INTF_NUM:
        return number(static_cast<ViUInt16>(name.interfaceNumber));
    case VI_ATTR_RSRC_LOCK_STATE:
        return number(static_cast<ViAccessMode>(in->exclusiveLockHolder     ? VI_EXCLUSIVE_LOCK
                                                : in->sharedHolders.empty() ? VI_NO_LOCK
                                                                            : VI_SHARED_LOCK));
    case VI_ATTR_MANF_ID:
        return number(in->vendorId);
    case VI_ATTR_MANF_NAME:
        return text(in->manufacturer);
    case VI_ATTR_MODEL_CODE:
        return number(in->deviceId);
    case VI_ATTR_MODEL_NAME:
        return text(in->model);
    case VI_ATTR_PXI_BUS_NUM:
        return number(static_cast<ViUInt16>(name.bus));
    case VI_ATTR_PXI_DEV_NUM:
        return number(static_cast<ViUInt16>(name.device));
    case VI_ATTR_PXI_FUNC_NUM:
        return number(static_cast<ViUInt16>(name.function));
    default:
        return PxiAttribute(s, *in, attr, value);
    }
}

ViStatus ParseName(const char* function, ViSession rm, const ViChar* name, ViUInt16* intfType,
                   ViUInt16* intfNum, ViChar* rsrcClass, ViChar* expanded, ViChar* alias) {
    Chassis& ch = Chassis::instance();
    const std::string args = std::to_string(rm) + ", " + Quoted(name);
    SessionInfo* s = ch.find(rm);
    if (!s || s->kind != SessionKind::ResourceManager)
        return Done(function, args, VI_ERROR_INV_OBJECT);
    if (!name)
        return Done(function, args, VI_ERROR_INV_RSRC_NAME);
    const int index = ch.instrumentIndex(name);
    // An alias names its resource; any other name must be a resource name,
    // of an instrument the chassis holds or of its memory access resource.
    const std::string unaliased = index >= 0 ? ch.instruments[size_t(index)].resource : name;
    const ResourceName parsed = ParseResourceName(unaliased);
    if (!parsed.valid)
        return Done(function, args, VI_ERROR_INV_RSRC_NAME);
    if (index < 0 && !parsed.memoryAccess)
        return Done(function, args, VI_ERROR_RSRC_NFOUND);
    if (intfType)
        *intfType = VI_INTF_PXI;
    if (intfNum)
        *intfNum = static_cast<ViUInt16>(parsed.interfaceNumber);
    if (rsrcClass)
        CopyText(rsrcClass, parsed.memoryAccess ? "MEMACC" : "INSTR");
    if (expanded)
        CopyText(expanded, index >= 0 ? unaliased : parsed.canonical);
    if (alias)
        CopyText(alias, index >= 0 ? ch.instruments[size_t(index)].alias : "");
    return Done(function, args, VI_SUCCESS);
}

} // namespace

extern "C" {

ViStatus viGetAttribute(ViObject vi, ViAttr attr, void* value) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    const std::string args = std::to_string(vi) + ", " + Hex(attr);
    SessionInfo* s = ch.find(vi);
    if (!s)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (!value)
        return Done(__func__, args, VI_ERROR_USER_BUF);
    if (ViStatus f = ch.injected(__func__, 0, ResourceOf(vi)))
        return Done(__func__, args, f);
    // Reading attributes is allowed on a resource another session has locked.
    return Done(__func__, args, Attribute(*s, ch.instrumentOf(vi), attr, value));
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viSetAttribute(ViObject vi, ViAttr attr, ViAttrState value) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    const std::string args = std::to_string(vi) + ", " + Hex(attr) + ", " + Hex(value);
    SessionInfo* s = ch.find(vi);
    if (!s)
        return Done(__func__, args, VI_ERROR_INV_OBJECT);
    if (ViStatus f = ch.injected(__func__, 0, ResourceOf(vi)))
        return Done(__func__, args, f);
    bool settable = false;
    const ViStatus set =
        SetSessionAttribute(*s, s->kind == SessionKind::Instrument, attr, value, settable);
    if (settable)
        return Done(__func__, args, set);
    char probe[VI_FIND_BUFLEN];
    const bool known = Attribute(*s, ch.instrumentOf(vi), attr, probe) == VI_SUCCESS;
    return Done(__func__, args, known ? VI_ERROR_ATTR_READONLY : VI_ERROR_NSUP_ATTR);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viParseRsrc(ViSession rm, const ViChar* name, ViUInt16* intfType, ViUInt16* intfNum) try {
    EntryLock entry;
    return ParseName(__func__, rm, name, intfType, intfNum, nullptr, nullptr, nullptr);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viParseRsrcEx(ViSession rm, const ViChar* name, ViUInt16* intfType, ViUInt16* intfNum,
                       ViChar rsrcClass[], ViChar expandedName[], ViChar aliasName[]) try {
    EntryLock entry;
    return ParseName(__func__, rm, name, intfType, intfNum, rsrcClass, expandedName, aliasName);
} catch (...) {
    return EntryFailed(__func__);
}

ViStatus viClear(ViSession vi) try {
    EntryLock entry;
    Chassis& ch = Chassis::instance();
    Instrument* in = ch.instrumentOf(vi);
    if (!in)
        return Done(__func__, std::to_string(vi), VI_ERROR_INV_OBJECT);
    if (ViStatus f = ch.injected(__func__, 0, in->resource))
        return Done(__func__, std::to_string(vi), f);
    if (ch.lockedAgainst(vi))
        return Done(__func__, std::to_string(vi), VI_ERROR_RSRC_LOCKED);
    return Done(__func__, std::to_string(vi), VI_SUCCESS);
} catch (...) {
    return EntryFailed(__func__);
}

#define NVSIM_IN(name, type)                                                                       \
    ViStatus name(ViSession vi, ViUInt16 space, ViBusAddress offset, type* val) try {              \
        EntryLock entry;                                                                           \
        return In(#name, vi, space, offset, val);                                                  \
    } catch (...) {                                                                                \
        return EntryFailed(#name);                                                                 \
    }
#define NVSIM_OUT(name, type)                                                                      \
    ViStatus name(ViSession vi, ViUInt16 space, ViBusAddress offset, type val) try {               \
        EntryLock entry;                                                                           \
        return Out(#name, vi, space, offset, sizeof(type), val);                                   \
    } catch (...) {                                                                                \
        return EntryFailed(#name);                                                                 \
    }
NVSIM_IN(viIn8, ViUInt8)
NVSIM_IN(viIn16, ViUInt16)
NVSIM_IN(viIn32, ViUInt32)
NVSIM_IN(viIn8Ex, ViUInt8)
NVSIM_IN(viIn16Ex, ViUInt16)
NVSIM_IN(viIn32Ex, ViUInt32)
NVSIM_IN(viIn64, ViUInt64)
NVSIM_IN(viIn64Ex, ViUInt64)
NVSIM_OUT(viOut8, ViUInt8)
NVSIM_OUT(viOut16, ViUInt16)
NVSIM_OUT(viOut32, ViUInt32)
NVSIM_OUT(viOut8Ex, ViUInt8)
NVSIM_OUT(viOut16Ex, ViUInt16)
NVSIM_OUT(viOut32Ex, ViUInt32)
NVSIM_OUT(viOut64, ViUInt64)
NVSIM_OUT(viOut64Ex, ViUInt64)

// No address is ever mapped (viMapAddress is not supported): a peek reads
// 0 and a poke goes nowhere. Both return nothing, as VISA declares them.
void viPeek8(ViSession, ViAddr, ViUInt8* val) try {
    EntryLock entry;
    if (val)
        *val = 0;
} catch (...) {
    EntryFailed(__func__);
}
void viPeek16(ViSession, ViAddr, ViUInt16* val) try {
    EntryLock entry;
    if (val)
        *val = 0;
} catch (...) {
    EntryFailed(__func__);
}
void viPeek32(ViSession, ViAddr, ViUInt32* val) try {
    EntryLock entry;
    if (val)
        *val = 0;
} catch (...) {
    EntryFailed(__func__);
}
void viPeek64(ViSession, ViAddr, ViUInt64* val) {
    if (val)
        *val = 0;
}
void viPoke8(ViSession, ViAddr, ViUInt8) {}
void viPoke16(ViSession, ViAddr, ViUInt16) {}
void viPoke32(ViSession, ViAddr, ViUInt32) {}
void viPoke64(ViSession, ViAddr, ViUInt64) {}

} // extern "C"
