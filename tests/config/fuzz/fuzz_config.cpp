// libFuzzer target: the configuration loader, and saving over any text.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TCardInfo card;
    int reimports = 0;
    LoadConfigurationText(card, text, [&](int channel) {
        if (channel < 1 || channel > kChannelCount)
            __builtin_trap();
        ++reimports;
    });
    // Every real read is finite.
    for (int c = 1; c <= kChannelCount; ++c)
        if (!std::isfinite(card.Channel[c].Wave.StartF) || !std::isfinite(card.ExtFreq))
            __builtin_trap();
    if (reimports > kChannelCount)
        __builtin_trap();

    // Saved over the text, a record loads back whatever else the text holds.
    TCardInfo saved;
    saved.ExtFreq = 12.5;
    for (int c = 1; c <= kChannelCount; ++c) {
        saved.Channel[c].Wave.StartF = 0.001 * c;
        saved.Channel[c].Multiplier = 4 + c;
        saved.Channel[c].MemStep = 256;
        saved.Channel[c].Wave.Arb.ArbFile = "/w/" + std::to_string(c);
    }
    const std::optional<std::string> written = ConfigurationText(saved, text);
    if (!written)
        return text.find('\0') != std::string::npos ? 0 : (__builtin_trap(), 0);
    TCardInfo back;
    if (!LoadConfigurationText(back, *written, {}).error.empty() || back.ExtFreq != 12.5)
        __builtin_trap();
    for (int c = 1; c <= kChannelCount; ++c)
        if (back.Channel[c].Wave.StartF != 0.001 * c || back.Channel[c].Multiplier != 4 + c ||
            back.Channel[c].MemStep != 256 ||
            back.Channel[c].Wave.Arb.ArbFile != saved.Channel[c].Wave.Arb.ArbFile)
            __builtin_trap();
    return 0;
}
