// What the simulated VISA library's entry points share.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "SimChassis.h"

namespace sim {

// The chassis's memory access resource: listed, parsed and opened, with no
// operation of its own.
inline const char* const kMemoryAccess = "PXI0::MEMACC";

inline std::string Hex(uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

inline std::string Quoted(const char* s) {
    return s ? "\"" + std::string(s) + "\"" : "NULL";
}

inline void CopyText(char* out, const std::string& text) {
    std::snprintf(out, VI_FIND_BUFLEN, "%s", text.c_str());
}

// An attribute's value, or its text, into the caller's place for it.
template <class T> ViStatus Put(void* out, T value) {
    std::memcpy(out, &value, sizeof value);
    return VI_SUCCESS;
}
inline ViStatus PutText(void* out, const std::string& text) {
    CopyText(static_cast<char*>(out), text);
    return VI_SUCCESS;
}

// Journals the call and returns its status.
inline ViStatus Done(const char* function, const std::string& args, ViStatus status) {
    Chassis::instance().record(function, args, status);
    return status;
}

inline std::string ResourceOf(ViSession vi) {
    Instrument* in = Chassis::instance().instrumentOf(vi);
    return in ? in->resource : std::string();
}

// One register access of a PXI INSTR session (configuration space or BAR0),
// not journalled: the session's, space's, offset's and alignment's checks,
// then `width` bytes read into or written from `value`.
ViStatus RegisterAccess(const char* function, ViSession vi, ViUInt16 space, uint64_t offset,
                        int width, uint64_t* value, bool write);

// Attributes every session has (VI_ERROR_NSUP_ATTR for any other).
ViStatus SessionAttribute(const SessionInfo& s, ViAttr attr, void* value);
// Attributes of the memory access resource (PXI0::MEMACC).
ViStatus MemoryAccessAttribute(ViAttr attr, void* value);
// Attributes of a PXI INSTR session (VI_ERROR_NSUP_ATTR for any other).
ViStatus PxiAttribute(const SessionInfo& s, const Instrument& in, ViAttr attr, void* value);
// Sets an attribute a client may set; `known` tells whether the session has
// the attribute at all (then a refusal is of the value).
ViStatus SetSessionAttribute(SessionInfo& s, bool instrument, ViAttr attr, ViAttrState value,
                             bool& known);

// An event of the instrument session: queued, held for suspended handlers or
// handed to its handlers, as the session enabled it; nothing when not enabled.
void PostEvent(ViSession vi, const SessionInfo::EventData& event);
// Attributes of an event object (VI_ERROR_NSUP_ATTR for any other).
ViStatus EventAttribute(const SessionInfo& s, ViAttr attr, void* value);

} // namespace sim
