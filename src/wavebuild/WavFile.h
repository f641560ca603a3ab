// Samples of one channel of a sound file, read with libsndfile (WAV with
// 8-, 16-, 24- or 32-bit PCM or floating-point samples, and what else
// libsndfile reads).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct WavRead {
    int sampleRate = 0;
    int channels = 0;
    int64_t frames = 0;          // in the file
    std::string format;          // "16-bit PCM", "32-bit float" ...
    std::vector<double> samples; // the chosen channel, -1 .. +1 for PCM
    bool cut = false;            // the file held more frames than are read
    std::string error;           // empty when it was read
};

// At most this many frames are read from a file.
constexpr int64_t kMaxWavFrames = int64_t(1) << 24;

// Reads channel `channel` (0-based; the first when beyond the file's
// channels) from a regular file (anything else is not opened), in pieces of a
// bounded size. A sample that is not a finite number (a NaN in a float file)
// is refused with its number.
WavRead ReadWavChannel(const std::string& path, int channel);

// The same from a file's bytes in memory (an upload), at most `maxFrames`
// of them read.
WavRead ReadWavChannelBytes(std::string_view bytes, int channel, int64_t maxFrames = kMaxWavFrames);
