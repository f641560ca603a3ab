// libFuzzer target: the configuration loader.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TCardInfo card;
    int reimports = 0;
    LoadConfigurationText(card, reinterpret_cast<const char*>(data), size, [&](int channel) {
        if (channel < 1 || channel > kChannelCount)
            __builtin_trap();
        ++reimports;
    });
    // Every real read is finite, and the record saves again.
    for (int c = 1; c <= kChannelCount; ++c)
        if (!std::isfinite(card.Channel[c].Wave.StartF) || !std::isfinite(card.ExtFreq))
            __builtin_trap();
    if (reimports > kChannelCount)
        __builtin_trap();
    ConfigurationText(card, std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
