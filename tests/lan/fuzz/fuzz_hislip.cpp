// HiSLIP's message reader as a hostile client feeds it: any bytes, cut into
// pieces where the first byte says, under a small bound. Each message read
// holds what its header announced, and encodes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "HislipMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t piece = 1 + data[0] % 37;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    size -= 1;
    hislip::Reader reader(1000);
    for (size_t at = 0; at < size;) {
        const size_t end = std::min(size, at + piece);
        size_t taken = 0;
        const auto result = reader.take(bytes + at, end - at, taken);
        if (taken > end - at)
            std::abort();
        at += taken;
        if (result == hislip::Reader::Result::BadHeader)
            return 0;
        if (result == hislip::Reader::Result::Message) {
            const hislip::Header& h = reader.header();
            if (reader.payload().size() != h.length || h.length > 1000)
                std::abort();
            const std::string again = hislip::Encode(h.type, h.control, h.parameter,
                                                     reader.payload());
            hislip::Reader check(1000);
            size_t all = 0;
            if (check.take(again.data(), again.size(), all) != hislip::Reader::Result::Message ||
                all != again.size() || check.payload() != reader.payload())
                std::abort();
        }
    }
    return 0;
}
