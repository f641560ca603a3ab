// libFuzzer target: the binary waveform reader and writer.
#include <cstddef>
#include <cstdint>

#include "WaveParse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WaveReadResult r = ReadBinaryWave(data, size);
    if (r.samples.size() > static_cast<size_t>(WaveMemorySize))
        __builtin_trap();
    if (r.outcome == WaveReadResult::Outcome::Complete) {
        // Every word read back must be written as the same word when unscaled.
        for (size_t i = 0; i < r.samples.size(); ++i)
            if (BinaryWord(r.samples[i] / 655.2) != static_cast<uint16_t>(r.samples[i]))
                __builtin_trap();
    } else if (size >= 2 && size % 2 == 0 && r.outcome == WaveReadResult::Outcome::ReadBeyondEnd) {
        __builtin_trap();
    }
    return 0;
}
