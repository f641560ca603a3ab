// The rest of VISA's entry points, as a PXI INSTR resource answers them:
// 64-bit register access, block moves between the
// configuration space and BAR0 (synchronous, also when asked
// asynchronously), and the standard status for each operation a PXI INSTR
// resource does not support (message-based I/O, GPIB, USB, VXI, trigger
// mapping, memory allocation).
#include <algorithm>
#include <cstring>
#include <string>

#include "SimVisaCommon.h"
#include "SimVisaConstants.h"

using namespace sim;

namespace {

// The widths a move takes (VI_WIDTH_8 .. VI_WIDTH_64 are the byte counts).
bool ValidWidth(ViUInt16 width) {
    return width == 1 || width == 2 || width == 4 || width == 8;
}

// `length` elements of `width` bytes between a register space and the
// caller's buffer; the space's address steps by the session's increment.
ViStatus Block(const char* function, ViSession vi, ViUInt16 space, ViBusAddress offset,
               ViBusSize length, int width, void* buffer, bool out) {
    Chassis& ch = Chassis::instance();
    const std::string args = std::to_string(vi) + ", " + std::to_string(space) + ", " +
                             Hex(offset) + ", " + std::to_string(length);
    SessionInfo* s = ch.find(vi);
    if (!s || s->kind != SessionKind::Instrument)
        return Done(function, args, VI_ERROR_INV_OBJECT);
    if (!buffer && length > 0)
        return Done(function, args, VI_ERROR_USER_BUF);
    const int32_t step = out ? s->destinationIncrement : s->sourceIncrement;
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (ViBusSize i = 0; i < length; ++i) {
        uint64_t value = 0;
        if (out)
            std::memcpy(&value, bytes + i * static_cast<ViBusSize>(width),
                        static_cast<size_t>(width));
        const ViBusAddress at =
            offset + i * static_cast<ViBusSize>(width) * static_cast<ViBusSize>(step);
        if (const ViStatus st = RegisterAccess(function, vi, space, at, width, &value, out))
            return Done(function, args, st);
        if (!out)
            std::memcpy(bytes + i * static_cast<ViBusSize>(width), &value,
                        static_cast<size_t>(width));
    }
    return Done(function, args, VI_SUCCESS);
}

// A move from one register space to another, element by element.
ViStatus Move(const char* function, ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset,
              ViUInt16 srcWidth, ViUInt16 destSpace, ViBusAddress destOffset, ViUInt16 destWidth,
              ViBusSize length) {
    Chassis& ch = Chassis::instance();
    const std::string args = std::to_string(vi) + ", " + std::to_string(srcSpace) + ", " +
                             Hex(srcOffset) + ", " + std::to_string(destSpace) + ", " +
                             Hex(destOffset) + ", " + std::to_string(length);
    SessionInfo* s = ch.find(vi);
    if (!s || s->kind != SessionKind::Instrument)
        return Done(function, args, VI_ERROR_INV_OBJECT);
    if (!ValidWidth(srcWidth) || !ValidWidth(destWidth))
        return Done(function, args, VI_ERROR_INV_WIDTH);
    for (ViBusSize i = 0; i < length; ++i) {
        uint64_t value = 0;
        const ViBusAddress from =
            srcOffset + i * srcWidth * static_cast<ViBusSize>(s->sourceIncrement);
        const ViBusAddress to =
            destOffset + i * destWidth * static_cast<ViBusSize>(s->destinationIncrement);
        if (const ViStatus st =
                RegisterAccess(function, vi, srcSpace, from, srcWidth, &value, false))
            return Done(function, args, st);
        if (const ViStatus st =
                RegisterAccess(function, vi, destSpace, to, destWidth, &value, true))
            return Done(function, args, st);
    }
    return Done(function, args, VI_SUCCESS);
}

// An operation the session's resource does not have: VI_ERROR_NSUP_OPER
// for a session, VI_ERROR_INV_OBJECT for anything else.
ViStatus NotSupported(const char* function, ViSession vi) {
    const bool session = Chassis::instance().find(vi) != nullptr;
    return Done(function, std::to_string(vi), session ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT);
}

} // namespace

extern "C" {

#define NVSIM_ENTRY(declaration, body)                                                             \
    declaration try {                                                                              \
        EntryLock entry;                                                                           \
        body;                                                                                      \
    } catch (...) {                                                                                \
        return EntryFailed(__func__);                                                              \
    }
#define NVSIM_NSUP(name, params) NVSIM_ENTRY(ViStatus name params, return NotSupported(#name, vi))

NVSIM_NSUP(viAssertIntrSignal, (ViSession vi, ViInt16, ViUInt32))
NVSIM_NSUP(viAssertTrigger, (ViSession vi, ViUInt16))
NVSIM_NSUP(viAssertUtilSignal, (ViSession vi, ViUInt16))
NVSIM_NSUP(viBufRead, (ViSession vi, ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_NSUP(viBufWrite, (ViSession vi, const ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_NSUP(viFlush, (ViSession vi, ViUInt16))
NVSIM_NSUP(viGpibCommand, (ViSession vi, const ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_NSUP(viGpibControlATN, (ViSession vi, ViUInt16))
NVSIM_NSUP(viGpibControlREN, (ViSession vi, ViUInt16))
NVSIM_NSUP(viGpibPassControl, (ViSession vi, ViUInt16, ViUInt16))
NVSIM_NSUP(viGpibSendIFC, (ViSession vi))
NVSIM_NSUP(viMapTrigger, (ViSession vi, ViInt16, ViInt16, ViUInt16))
NVSIM_NSUP(viUnmapTrigger, (ViSession vi, ViInt16, ViInt16))
NVSIM_NSUP(viMemAlloc, (ViSession vi, ViBusSize, ViBusAddress*))
NVSIM_NSUP(viMemFree, (ViSession vi, ViBusAddress))
NVSIM_NSUP(viReadAsync, (ViSession vi, ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_NSUP(viWriteAsync, (ViSession vi, const ViUInt8*, ViUInt32, ViUInt32*))
NVSIM_NSUP(viReadSTB, (ViSession vi, ViUInt16*))
NVSIM_NSUP(viReadToFile, (ViSession vi, const ViChar*, ViUInt32, ViUInt32*))
NVSIM_NSUP(viWriteFromFile, (ViSession vi, const ViChar*, ViUInt32, ViUInt32*))
NVSIM_NSUP(viSetBuf, (ViSession vi, ViUInt16, ViUInt32))
NVSIM_NSUP(viUsbControlIn,
           (ViSession vi, ViInt16, ViInt16, ViUInt16, ViUInt16, ViUInt16, ViUInt8*, ViUInt16*))
NVSIM_NSUP(viUsbControlOut,
           (ViSession vi, ViInt16, ViInt16, ViUInt16, ViUInt16, ViUInt16, const ViUInt8*))
NVSIM_NSUP(viVxiCommandQuery, (ViSession vi, ViUInt16, ViUInt32, ViUInt32*))

#define NVSIM_MOVE_IN(name, type)                                                                  \
    NVSIM_ENTRY(ViStatus name(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, \
                              type* buf),                                                          \
                return Block(#name, vi, space, offset, length, sizeof(type), buf, false))
#define NVSIM_MOVE_OUT(name, type)                                                                 \
    NVSIM_ENTRY(ViStatus name(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, \
                              const type* buf),                                                    \
                return Block(#name, vi, space, offset, length, sizeof(type),                       \
                             const_cast<type*>(buf), true))
NVSIM_MOVE_IN(viMoveIn8, ViUInt8)
NVSIM_MOVE_IN(viMoveIn16, ViUInt16)
NVSIM_MOVE_IN(viMoveIn32, ViUInt32)
NVSIM_MOVE_IN(viMoveIn64, ViUInt64)
NVSIM_MOVE_IN(viMoveIn8Ex, ViUInt8)
NVSIM_MOVE_IN(viMoveIn16Ex, ViUInt16)
NVSIM_MOVE_IN(viMoveIn32Ex, ViUInt32)
NVSIM_MOVE_IN(viMoveIn64Ex, ViUInt64)
NVSIM_MOVE_OUT(viMoveOut8, ViUInt8)
NVSIM_MOVE_OUT(viMoveOut16, ViUInt16)
NVSIM_MOVE_OUT(viMoveOut32, ViUInt32)
NVSIM_MOVE_OUT(viMoveOut64, ViUInt64)
NVSIM_MOVE_OUT(viMoveOut8Ex, ViUInt8)
NVSIM_MOVE_OUT(viMoveOut16Ex, ViUInt16)
NVSIM_MOVE_OUT(viMoveOut32Ex, ViUInt32)
NVSIM_MOVE_OUT(viMoveOut64Ex, ViUInt64)

NVSIM_ENTRY(ViStatus viMove(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset,
                            ViUInt16 srcWidth, ViUInt16 destSpace, ViBusAddress destOffset,
                            ViUInt16 destWidth, ViBusSize length),
            return Move(__func__, vi, srcSpace, srcOffset, srcWidth, destSpace, destOffset,
                        destWidth, length))

// Done before it returns: VISA's "completed synchronously", with no job left
// to terminate; its completion event is posted all the same, as for every
// asynchronous operation that started.
NVSIM_ENTRY(ViStatus viMoveAsync(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset,
                                 ViUInt16 srcWidth, ViUInt16 destSpace, ViBusAddress destOffset,
                                 ViUInt16 destWidth, ViBusSize length, ViUInt32* jobId),
            static ViUInt32 lastJob = 0;
            if (jobId) * jobId = 0;
            const ViStatus st = Move(__func__, vi, srcSpace, srcOffset, srcWidth, destSpace,
                                     destOffset, destWidth, length);
            if (st != VI_SUCCESS) return st;
            const ViUInt32 job = ++lastJob == 0 ? ++lastJob : lastJob; if (jobId) * jobId = job;
            PostEvent(vi, {VI_EVENT_IO_COMPLETION, VI_SUCCESS, job, length, "viMoveAsync"});
            return VI_SUCCESS_SYNC)

// No asynchronous job ever runs on the simulated chassis.
NVSIM_ENTRY(ViStatus viTerminate(ViSession vi, ViUInt16 degree, ViUInt32 jobId),
            const std::string args = std::to_string(vi) + ", " + std::to_string(jobId);
            if (!Chassis::instance().find(vi)) return Done(__func__, args, VI_ERROR_INV_OBJECT);
            return Done(__func__, args, degree != 0 ? VI_ERROR_INV_DEGREE : VI_ERROR_INV_JOB_ID))

} // extern "C"
