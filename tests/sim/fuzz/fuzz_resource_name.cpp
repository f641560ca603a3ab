// libFuzzer target: any text read as a PXI resource name, without a crash, an
// exception or reading out of bounds; a name read as valid reads again, from
// its canonical spelling, as the same resource.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SimChassis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const sim::ResourceName r = sim::ParseResourceName(name);
    if (r.valid) {
        const sim::ResourceName again = sim::ParseResourceName(r.canonical);
        if (!again.valid || again.canonical != r.canonical)
            std::abort();
    }
    return 0;
}
