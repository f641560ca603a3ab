#include "WavFile.h"

#include <sndfile.h>

#include <algorithm>
#include <memory>

namespace {

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
    SF_INFO info{};
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(sf_open(path.c_str(), SFM_READ, &info),
                                                     sf_close);
    if (!file) {
        r.error = std::string("Not a sound file libsndfile reads: ") + sf_strerror(nullptr);
        return r;
    }
    r.sampleRate = info.samplerate;
    r.channels = info.channels;
    r.frames = info.frames;
    r.format = FormatText(info.format);
    if (info.channels < 1 || info.frames < 1) {
        r.error = "The file holds no samples.";
        return r;
    }
    // Floating-point samples are taken as they are, not clipped to -1 .. +1.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_FALSE);
    const int64_t frames = std::min<int64_t>(info.frames, kMaxWavFrames);
    r.cut = frames < info.frames;
    const int chosen = channel >= 0 && channel < info.channels ? channel : 0;
    constexpr sf_count_t kBlock = 65536;
    std::vector<double> block(static_cast<size_t>(kBlock) * static_cast<size_t>(info.channels));
    r.samples.reserve(static_cast<size_t>(frames));
    for (int64_t done = 0; done < frames;) {
        const sf_count_t want = std::min<int64_t>(kBlock, frames - done);
        const sf_count_t got = sf_readf_double(file.get(), block.data(), want);
        if (got <= 0)
            break;
        for (sf_count_t f = 0; f < got; ++f)
            r.samples.push_back(block[static_cast<size_t>(f * info.channels + chosen)]);
        done += got;
    }
    if (r.samples.empty())
        r.error = "No samples could be read from the file.";
    return r;
}
