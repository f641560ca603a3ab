#include "WavFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
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

using SoundFile = std::unique_ptr<SNDFILE, int (*)(SNDFILE*)>;

// The chosen channel of a sound file opened.
WavRead ReadOpened(SNDFILE* file, const SF_INFO& sound, int channel, int64_t maxFrames) {
    WavRead r;
    r.sampleRate = sound.samplerate;
    r.channels = sound.channels;
    r.frames = sound.frames;
    r.format = FormatText(sound.format);
    if (sound.channels < 1 || sound.frames < 1) {
        r.error = "The file holds no samples.";
        return r;
    }
    // Floating-point samples are taken as they are, not clipped to -1 .. +1.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_FALSE);
    const int64_t frames = std::min<int64_t>(sound.frames, maxFrames);
    r.cut = frames < sound.frames;
    const int chosen = channel >= 0 && channel < sound.channels ? channel : 0;
    // A bounded buffer whatever the channel count: as many frames as fit.
    const sf_count_t block = std::max<sf_count_t>(1, kReadValues / sound.channels);
    std::vector<double> values(static_cast<size_t>(block) * static_cast<size_t>(sound.channels));
    r.samples.reserve(static_cast<size_t>(frames));
    for (int64_t done = 0; done < frames;) {
        const sf_count_t want = std::min<int64_t>(block, frames - done);
        const sf_count_t got = sf_readf_double(file, values.data(), want);
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

WavRead NotSound() {
    WavRead r;
    r.error = std::string("Not a sound file libsndfile reads: ") + sf_strerror(nullptr);
    return r;
}

// Bytes in memory as libsndfile's file: read and seek, never written.
struct Memory {
    std::string_view bytes;
    sf_count_t at = 0;
};

sf_count_t MemoryLength(void* m) {
    return sf_count_t(static_cast<Memory*>(m)->bytes.size());
}

sf_count_t MemorySeek(sf_count_t offset, int whence, void* m) {
    auto* memory = static_cast<Memory*>(m);
    const sf_count_t size = MemoryLength(m);
    sf_count_t to = offset;
    if (whence == SEEK_CUR)
        to += memory->at;
    else if (whence == SEEK_END)
        to += size;
    if (to < 0 || to > size)
        return -1;
    return memory->at = to;
}

sf_count_t MemoryRead(void* out, sf_count_t count, void* m) {
    auto* memory = static_cast<Memory*>(m);
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, MemoryLength(m) - memory->at);
    std::memcpy(out, memory->bytes.data() + memory->at, static_cast<size_t>(n));
    memory->at += n;
    return n;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t MemoryTell(void* m) {
    return static_cast<Memory*>(m)->at;
}

} // namespace

WavRead ReadWavChannel(const std::string& path, int channel) {
    // Only a regular file is opened: a FIFO would wait for a writer, a device
    // might never end.
    FileReader reader(path);
    if (!reader.isOpen()) {
        WavRead r;
        r.error = PathExists(path) && !IsRegularFile(path) ? "It is no regular file."
                                                           : "The file could not be opened.";
        return r;
    }
    const int fd = reader.release();
    SF_INFO sound{};
    SoundFile file(sf_open_fd(fd, SFM_READ, &sound, SF_TRUE), sf_close);
    return file ? ReadOpened(file.get(), sound, channel, kMaxWavFrames) : NotSound();
}

WavRead ReadWavChannelBytes(std::string_view bytes, int channel, int64_t maxFrames) {
    Memory memory{bytes};
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    SF_INFO sound{};
    SoundFile file(sf_open_virtual(&io, SFM_READ, &sound, &memory), sf_close);
    return file ? ReadOpened(file.get(), sound, channel, maxFrames) : NotSound();
}
