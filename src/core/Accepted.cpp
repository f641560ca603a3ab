#include "Accepted.h"

#include <cstring>

#include "AcceptedUpdate.h"

namespace {
TAcceptedCard accepted;
} // namespace

const TAcceptedCard& Accepted() {
    return accepted;
}

TAcceptedChannel& AcceptedChannel(int channel) {
    return accepted.Channel.at(static_cast<size_t>(channel));
}

void ClearAccepted() {
    accepted = TAcceptedCard{};
}

uint64_t WaveChecksum(const double* samples, int count) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (int i = 0; i < count; ++i) {
        uint64_t bits = 0;
        std::memcpy(&bits, &samples[i], sizeof bits);
        hash = (hash ^ bits) * 0x100000001B3u;
    }
    return hash;
}
