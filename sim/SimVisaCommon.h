// What the simulated VISA library's entry points share.
#pragma once

#include <cstdio>
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

// Journals the call and returns its status.
inline ViStatus Done(const char* function, const std::string& args, ViStatus status) {
    Chassis::instance().record(function, args, status);
    return status;
}

inline std::string ResourceOf(ViSession vi) {
    Instrument* in = Chassis::instance().instrumentOf(vi);
    return in ? in->resource : std::string();
}

} // namespace sim
