// libFuzzer target: the text waveform reader.
#include <cstddef>
#include <cstdint>

#include "WaveParse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the decimal separator, as the user's locale would.
    const char separator = size > 0 && (data[0] & 1) ? ',' : '.';
    const char* text = reinterpret_cast<const char*>(data);
    WaveReadResult r = ReadTextWave(text + (size > 0), size - (size > 0), separator);
    if (r.samples.size() > static_cast<size_t>(WaveMemorySize))
        __builtin_trap();
    if (r.outcome == WaveReadResult::Outcome::Complete && !r.samples.empty()) {
        NormaliseSamples(r.samples, r.minimum, r.maximum);
        std::string out;
        for (double v : r.samples)
            AppendTextSample(out, v, separator);
    }
    return 0;
}
