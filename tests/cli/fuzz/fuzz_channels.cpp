// The command line's channel list: never crashes, and whatever it accepts is
// a list of distinct channels 1..3 in ascending order that reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ChannelList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto channels = ParseChannelList(text);
    if (!channels)
        return 0;
    std::string again;
    for (size_t i = 0; i < channels->size(); ++i) {
        const int c = (*channels)[i];
        if (c < 1 || c > 3 || (i > 0 && c <= (*channels)[i - 1]))
            std::abort();
        again += (i ? "," : "") + std::to_string(c);
    }
    if (ParseChannelList(again) != channels)
        std::abort();
    return 0;
}
