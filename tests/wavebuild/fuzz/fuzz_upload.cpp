// Any bytes as an uploaded waveform file, read as each format with the
// choices the first bytes give: refused with a reason, or samples the wave
// memory takes (a length it holds, every sample a number from 0 to 100).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "WaveParse.h"
#include "WaveUpload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    UploadOptions options;
    options.format = UploadFormat(data[0] % 3);
    options.pick = 1 + (data[0] >> 2) % 4;
    options.normalise = data[1] & 1;
    options.length = (data[1] >> 1) % 20 == 0 ? 0 : 1 << ((data[1] >> 1) % 20);
    const UploadedWave w = ReadUploadedWave(
        std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2), options);
    if (w.error.empty() == w.samples.empty()) // either a reason or samples
        __builtin_trap();
    if (w.samples.size() > size_t(WaveMemorySize))
        __builtin_trap();
    for (double v : w.samples)
        if (!(v >= 0 && v <= 100))
            __builtin_trap();
    return 0;
}
