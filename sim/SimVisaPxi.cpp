// The attributes of a session beyond the resource's identity: those every
// session has (user data, event queue length, the interface's name) and those
// of a PXI INSTR resource (slot, chassis, slot path, each BAR, link widths,
// trigger buses, the window, block move increments, DMA, trigger id), read
// and, where VISA lets a client, set.
#include <cstring>
#include <string>

#include "SimVisaCommon.h"
#include "SimVisaConstants.h"

namespace sim {

namespace {

constexpr uint32_t kBar0Base = 0xF7D00000u, kBar0Size = 4096;

// A BAR attribute (type, base or size of BAR0..BAR5): only BAR0 is memory.
bool BarAttribute(ViAttr attr, void* value, ViStatus& status) {
    for (ViAttr bar = 0; bar < 6; ++bar) {
        if (attr == VI_ATTR_PXI_MEM_TYPE_BAR0 + bar)
            status =
                Put(value, static_cast<ViUInt16>(bar == 0 ? VI_PXI_ADDR_MEM : VI_PXI_ADDR_NONE));
        else if (attr == VI_ATTR_PXI_MEM_BASE_BAR0 + bar)
            status = Put(value, static_cast<ViUInt32>(bar == 0 ? kBar0Base : 0));
        else if (attr == VI_ATTR_PXI_MEM_SIZE_BAR0 + bar)
            status = Put(value, static_cast<ViUInt32>(bar == 0 ? kBar0Size : 0));
        else
            continue;
        return true;
    }
    return false;
}

} // namespace

ViStatus SessionAttribute(const SessionInfo& s, ViAttr attr, void* value) {
    switch (attr) {
    case VI_ATTR_USER_DATA:
        return Put(value, static_cast<ViUInt64>(s.userData));
    case VI_ATTR_MAX_QUEUE_LENGTH:
        return Put(value, static_cast<ViUInt32>(s.maxQueue));
    case VI_ATTR_INTF_INST_NAME:
        return PutText(value, "PXI0 (simulated chassis)");
    case VI_ATTR_RM_SESSION: // the resource manager it was opened from (its own for one)
        return Put(value, s.kind == SessionKind::ResourceManager ? s.self : s.parent);
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus MemoryAccessAttribute(ViAttr attr, void* value) {
    switch (attr) {
    case VI_ATTR_RSRC_NAME:
        return PutText(value, kMemoryAccess);
    case VI_ATTR_RSRC_CLASS:
        return PutText(value, "MEMACC");
    case VI_ATTR_INTF_TYPE:
        return Put(value, static_cast<ViUInt16>(VI_INTF_PXI));
    case VI_ATTR_INTF_NUM:
        return Put(value, static_cast<ViUInt16>(0));
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus PxiAttribute(const SessionInfo& s, const Instrument& in, ViAttr attr, void* value) {
    const ResourceName name = ParseResourceName(in.resource);
    ViStatus status = VI_ERROR_NSUP_ATTR;
    if (BarAttribute(attr, value, status))
        return status;
    switch (attr) {
    case VI_ATTR_SLOT:
        return Put(value, static_cast<ViInt16>(in.slotNumber()));
    case VI_ATTR_PXI_CHASSIS:
        return Put(value, static_cast<ViInt16>(in.chassis));
    case VI_ATTR_PXI_SLOTPATH: // the PCI path to the card: device.function
        return PutText(value, std::to_string(name.device) + "." + std::to_string(name.function));
    case VI_ATTR_PXI_SLOT_LBUS_LEFT:
    case VI_ATTR_PXI_SLOT_LBUS_RIGHT:
    case VI_ATTR_PXI_DSTAR_BUS:
    case VI_ATTR_PXI_DSTAR_SET:
    case VI_ATTR_PXI_SLOT_LWIDTH:
    case VI_ATTR_PXI_MAX_LWIDTH:
    case VI_ATTR_PXI_ACTUAL_LWIDTH: // not known / no PXI Express link
        return Put(value, static_cast<ViInt16>(-1));
    case VI_ATTR_PXI_IS_EXPRESS:
        return Put(value, static_cast<ViBoolean>(VI_FALSE));
    case VI_ATTR_PXI_TRIG_BUS:
        return Put(value, static_cast<ViInt16>(s.triggerBus));
    case VI_ATTR_PXI_STAR_TRIG_BUS:
        return Put(value, static_cast<ViInt16>(in.chassis));
    case VI_ATTR_PXI_STAR_TRIG_LINE:
        return Put(value, static_cast<ViInt16>(in.slotNumber()));
    case VI_ATTR_WIN_ACCESS:
        return Put(value, static_cast<ViUInt16>(VI_NMAPPED));
    case VI_ATTR_WIN_BASE_ADDR:
    case VI_ATTR_WIN_SIZE:
        return Put(value, static_cast<ViUInt64>(0));
    case VI_ATTR_WIN_BYTE_ORDER:
    case VI_ATTR_SRC_BYTE_ORDER:
    case VI_ATTR_DEST_BYTE_ORDER:
        return Put(value, static_cast<ViUInt16>(VI_LITTLE_ENDIAN));
    case VI_ATTR_WIN_ACCESS_PRIV:
    case VI_ATTR_SRC_ACCESS_PRIV:
    case VI_ATTR_DEST_ACCESS_PRIV:
        return Put(value, static_cast<ViUInt16>(VI_DATA_PRIV));
    case VI_ATTR_SRC_INCREMENT:
        return Put(value, static_cast<ViInt32>(s.sourceIncrement));
    case VI_ATTR_DEST_INCREMENT:
        return Put(value, static_cast<ViInt32>(s.destinationIncrement));
    case VI_ATTR_DMA_ALLOW_EN:
        return Put(value, static_cast<ViBoolean>(s.dmaAllowed ? VI_TRUE : VI_FALSE));
    case VI_ATTR_TRIG_ID:
        return Put(value, static_cast<ViInt16>(s.triggerId));
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus SetSessionAttribute(SessionInfo& s, bool instrument, ViAttr attr, ViAttrState value,
                             bool& known) {
    known = true;
    // The value as the attribute's own type takes it: a client may pass a
    // 32-bit ViAttrState, so a signed 16-bit -1 arrives as 0xFFFFFFFF.
    const auto short16 = static_cast<int16_t>(static_cast<uint16_t>(value));
    switch (attr) {
    case VI_ATTR_TMO_VALUE:
        s.timeout = static_cast<ViUInt32>(value);
        return VI_SUCCESS;
    case VI_ATTR_USER_DATA:
        s.userData = static_cast<uint64_t>(value);
        return VI_SUCCESS;
    case VI_ATTR_MAX_QUEUE_LENGTH:
        if (value < 1 || value > 0xFFFFFFFFu)
            return VI_ERROR_NSUP_ATTR_STATE;
        s.maxQueue = static_cast<uint32_t>(value);
        return VI_SUCCESS;
    default:
        break;
    }
    known = instrument;
    if (!instrument)
        return VI_ERROR_NSUP_ATTR;
    switch (attr) {
    case VI_ATTR_SRC_INCREMENT:
    case VI_ATTR_DEST_INCREMENT: // 0: one address over and over (a FIFO); 1: increasing
        if (value > 1)
            return VI_ERROR_NSUP_ATTR_STATE;
        (attr == VI_ATTR_SRC_INCREMENT ? s.sourceIncrement : s.destinationIncrement) =
            static_cast<int32_t>(value);
        return VI_SUCCESS;
    case VI_ATTR_DMA_ALLOW_EN:
        if (value > 1)
            return VI_ERROR_NSUP_ATTR_STATE;
        s.dmaAllowed = value == 1;
        return VI_SUCCESS;
    case VI_ATTR_TRIG_ID: // software, or a PXI trigger line
        if (short16 != VI_TRIG_SW && (short16 < VI_TRIG_TTL0 || short16 > VI_TRIG_TTL7))
            return VI_ERROR_NSUP_ATTR_STATE;
        s.triggerId = short16;
        return VI_SUCCESS;
    case VI_ATTR_PXI_TRIG_BUS:
        if (short16 < 1 || short16 > 8)
            return VI_ERROR_NSUP_ATTR_STATE;
        s.triggerBus = short16;
        return VI_SUCCESS;
    default:
        known = false;
        return VI_ERROR_NSUP_ATTR;
    }
}

} // namespace sim
