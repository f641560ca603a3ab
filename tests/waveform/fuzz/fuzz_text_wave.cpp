// libFuzzer target: the text waveform reader, whole and in pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "WaveParse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the decimal separator, as the user's locale would,
    // and the size of the pieces the file is read in.
    const uint8_t control = size > 0 ? data[0] : 0;
    const char separator = control & 1 ? ',' : '.';
    const size_t piece = 1 + (control >> 1);
    const char* text = reinterpret_cast<const char*>(data) + (size > 0);
    const size_t length = size - (size > 0);
    WaveReadResult r = ReadTextWave(text, length, separator);
    if (r.samples.size() > static_cast<size_t>(WaveMemorySize))
        __builtin_trap();

    // Read in pieces, the result must be the same.
    TextWaveReader reader(separator, length);
    size_t at = 0;
    while (at < length && reader.feed(text + at, std::min(piece, length - at)))
        at += piece;
    const WaveReadResult pieces = reader.finish(at + piece < length);
    if (pieces.samples != r.samples || pieces.outcome != r.outcome ||
        pieces.dataLeft != r.dataLeft || pieces.failedLine != r.failedLine)
        __builtin_trap();

    if (r.outcome == WaveReadResult::Outcome::Complete && !r.samples.empty()) {
        NormaliseSamples(r.samples, r.minimum, r.maximum);
        for (double v : r.samples)
            if (!(v >= 0 && v <= 100))
                __builtin_trap();
        std::string out;
        for (double v : r.samples)
            AppendTextSample(out, v, separator);
    }
    return 0;
}
