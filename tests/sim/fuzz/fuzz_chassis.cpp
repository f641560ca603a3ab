// libFuzzer target: the simulated chassis's file reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SimChassis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Chassis& chassis = sim::Chassis::instance();
    const bool ok =
        chassis.loadText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.ini");
    // A refused description says why, and leaves no instruments behind.
    if (!ok && (chassis.loadError().empty() || !chassis.instruments.empty()))
        __builtin_trap();
    return 0;
}
