#include "HislipMessage.h"

#include <algorithm>
#include <cstring>

namespace hislip {

namespace {

void PutBig(char* at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        at[i] = static_cast<char>(value & 0xFF);
}

uint64_t GetBig(const char* at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | static_cast<unsigned char>(at[i]);
    return value;
}

} // namespace

std::string Size64(uint64_t value) {
    std::string bytes(8, '\0');
    PutBig(bytes.data(), value, 8);
    return bytes;
}

uint64_t Size64(std::string_view bytes) {
    return bytes.size() == 8 ? GetBig(bytes.data(), 8) : 0;
}

void EncodeTo(std::string& out, uint8_t type, uint8_t control, uint32_t parameter,
              std::string_view payload) {
    const size_t at = out.size();
    out.resize(at + kHeaderSize);
    char* h = &out[at];
    h[0] = 'H';
    h[1] = 'S';
    h[2] = static_cast<char>(type);
    h[3] = static_cast<char>(control);
    PutBig(h + 4, parameter, 4);
    PutBig(h + 8, payload.size(), 8);
    out.append(payload);
}

std::string Encode(uint8_t type, uint8_t control, uint32_t parameter, std::string_view payload) {
    std::string bytes;
    bytes.reserve(kHeaderSize + payload.size());
    EncodeTo(bytes, type, control, parameter, payload);
    return bytes;
}

Reader::Result Reader::take(const char* data, size_t size, size_t& taken) {
    taken = 0;
    while (taken < size) {
        if (skip_ > 0) { // the rest of a payload beyond the bound
            const uint64_t n = std::min<uint64_t>(skip_, size - taken);
            skip_ -= n;
            taken += static_cast<size_t>(n);
            continue;
        }
        if (!inPayload_) {
            const size_t n = std::min(kHeaderSize - headerBytes_, size - taken);
            std::memcpy(headerBuffer_ + headerBytes_, data + taken, n);
            headerBytes_ += n;
            taken += n;
            if (headerBytes_ < kHeaderSize)
                break;
            headerBytes_ = 0;
            if (headerBuffer_[0] != 'H' || headerBuffer_[1] != 'S')
                return Result::BadHeader;
            header_.type = static_cast<uint8_t>(headerBuffer_[2]);
            header_.control = static_cast<uint8_t>(headerBuffer_[3]);
            header_.parameter = static_cast<uint32_t>(GetBig(headerBuffer_ + 4, 4));
            header_.length = GetBig(headerBuffer_ + 8, 8);
            payload_.clear();
            if (header_.length > maxPayload_) {
                skip_ = header_.length;
                return Result::TooLarge;
            }
            if (header_.length == 0)
                return Result::Message;
            payload_.reserve(static_cast<size_t>(header_.length));
            inPayload_ = true;
        }
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(header_.length - payload_.size(), size - taken));
        payload_.append(data + taken, n);
        taken += n;
        if (payload_.size() == header_.length) {
            inPayload_ = false;
            return Result::Message;
        }
    }
    return Result::More;
}

} // namespace hislip
