#include "WavFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "SafeFile.h"

namespace {

// The values read at a time, whatever the channel count.
constexpr sf_count_t kReadValues = 65536;

std::string FormatText(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return "8-bit PCM";
    case SF_FORMAT_PCM_16:
        return "16-bit PCM";
    case SF_FORMAT_PCM_24:
        return "24-bit PCM";
    case SF_FORMAT_PCM_32:
        return "32-bit PCM";
    case SF_FORMAT_FLOAT:
        return "32-bit float";
    case SF_FORMAT_DOUBLE:
        return "64-bit float";
    default:
        return "other encoding";
    }
}

} // namespace

WavRead ReadWavChannel(const std::string& path, int channel) {
    WavRead r;
    // Only a regular file is opened: a FIFO would wait for a writer, a device
    // might never end.
    FileReader reader(path);
    if (!reader.isOpen()) {
        r.error = PathExists(path) && !IsRegularFile(path) ? "It is no regular file."
                                                           : "The file could not be opened.";
        return r;
    }
    const int fd = reader.release();
    SF_INFO sound{};
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(sf_open_fd(fd, SFM_READ, &sound, SF_TRUE),
                                                     sf_close);
    if (!file) {
        r.error = std::string("Not a sound file libsndfile reads: ") + sf_strerror(nullptr);
        return r;
    }
    r.sampleRate = sound.samplerate;
    r.channels = sound.channels;
    r.frames = sound.frames;
    r.format = FormatText(sound.format);
    if (sound.channels < 1 || sound.frames < 1) {
        r.error = "The file holds no samples.";
        return r;
    }
    // Floating-point samples are taken as they are, not clipped to -1 .. +1.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_FALSE);
    const int64_t frames = std::min<int64_t>(sound.frames, kMaxWavFrames);
    r.cut = frames < sound.frames;
    const int chosen = channel >= 0 && channel < sound.channels ? channel : 0;
    // A bounded buffer whatever the channel count: as many frames as fit.
    const sf_count_t block = std::max<sf_count_t>(1, kReadValues / sound.channels);
    std::vector<double> values(static_cast<size_t>(block) * static_cast<size_t>(sound.channels));
    r.samples.reserve(static_cast<size_t>(frames));
    for (int64_t done = 0; done < frames;) {
        const sf_count_t want = std::min<int64_t>(block, frames - done);
        const sf_count_t got = sf_readf_double(file.get(), values.data(), want);
        if (got <= 0)
            break;
        for (sf_count_t f = 0; f < got; ++f) {
            const double v = values[static_cast<size_t>(f * sound.channels + chosen)];
            if (!std::isfinite(v)) {
                r.error = "Sample " + std::to_string(done + f) + " of channel " +
                          std::to_string(chosen + 1) + " is not a finite number.";
                r.samples.clear();
                return r;
            }
            r.samples.push_back(v);
        }
        done += got;
    }
    if (r.samples.empty())
        r.error = "No samples could be read from the file.";
    return r;
}
