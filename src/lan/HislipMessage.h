// HiSLIP's messages: a 16-byte header ("HS", the message type, a control
// code, a 32-bit parameter, a 64-bit payload length, all big-endian) and the
// payload. The reader takes them out of a stream as its bytes come, within
// a bound: a payload beyond it is skipped as it comes, never kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hislip {

enum Type : uint8_t {
    Initialize = 0,
    InitializeResponse = 1,
    FatalError = 2,
    Error = 3,
    AsyncLock = 4,
    AsyncLockResponse = 5,
    Data = 6,
    DataEnd = 7,
    DeviceClearComplete = 8,
    DeviceClearAcknowledge = 9,
    AsyncRemoteLocalControl = 10,
    AsyncRemoteLocalResponse = 11,
    Trigger = 12,
    Interrupted = 13,
    AsyncInterrupted = 14,
    AsyncMaximumMessageSize = 15,
    AsyncMaximumMessageSizeResponse = 16,
    AsyncInitialize = 17,
    AsyncInitializeResponse = 18,
    AsyncDeviceClear = 19,
    AsyncServiceRequest = 20,
    AsyncStatusQuery = 21,
    AsyncStatusResponse = 22,
    AsyncDeviceClearAcknowledge = 23,
    AsyncLockInfo = 24,
    AsyncLockInfoResponse = 25,
    GetDescriptors = 26,
    GetDescriptorsResponse = 27,
    StartTLS = 28,
    AsyncStartTLS = 29,
    AsyncStartTLSResponse = 30,
    EndTLS = 31,
    AsyncEndTLS = 32,
    AsyncEndTLSResponse = 33,
    GetSaslMechanismList = 34,
    GetSaslMechanismListResponse = 35,
    AuthenticationStart = 36,
    AuthenticationExchange = 37,
    AuthenticationResult = 38,
    FirstVendorType = 128,
};

// FatalError's codes (the connection is closed after it) and Error's.
enum FatalCode : uint8_t {
    UnidentifiedFatal = 0,
    BadHeader = 1,
    ChannelsNotEstablished = 2,
    InvalidInitialization = 3,
    TooManyClients = 4,
};
enum ErrorCode : uint8_t {
    UnidentifiedError = 0,
    UnrecognizedType = 1,
    UnrecognizedControlCode = 2,
    UnrecognizedVendorType = 3,
    MessageTooLarge = 4,
};

constexpr size_t kHeaderSize = 16;
// The protocol version this server speaks: 2.0.
constexpr uint16_t kVersion = 0x0200;
// The first MessageID of a client, and again after a device clear.
constexpr uint32_t kFirstMessageId = 0xFFFFFF00u;

struct Header {
    uint8_t type = 0;
    uint8_t control = 0;
    uint32_t parameter = 0;
    uint64_t length = 0;
};

// A 64-bit number as 8 big-endian bytes (AsyncMaximumMessageSize's
// payload), and back (0 unless there are 8).
std::string Size64(uint64_t value);
uint64_t Size64(std::string_view bytes);

// A whole message, header and payload; or appended to `out`.
std::string Encode(uint8_t type, uint8_t control, uint32_t parameter,
                   std::string_view payload = {});
void EncodeTo(std::string& out, uint8_t type, uint8_t control, uint32_t parameter,
              std::string_view payload);

// Messages out of a stream of bytes.
class Reader {
public:
    enum class Result {
        More,     // every byte given was taken; no message is complete
        Message,  // header() and payload() hold one
        TooLarge, // header() holds one whose payload goes beyond the bound: it is skipped
        BadHeader // not "HS": the stream cannot be followed any further
    };
    explicit Reader(uint64_t maxPayload) : maxPayload_(maxPayload) {}
    void setMaxPayload(uint64_t maxPayload) { maxPayload_ = maxPayload; }

    // Takes bytes of `data` up to the end of the next message (or all of
    // them); `taken` says how many.
    Result take(const char* data, size_t size, size_t& taken);
    const Header& header() const { return header_; }
    const std::string& payload() const { return payload_; }
    // Whether a message has begun and not ended (its payload being skipped included).
    bool midMessage() const { return headerBytes_ > 0 || inPayload_ || skip_ > 0; }

private:
    uint64_t maxPayload_;
    char headerBuffer_[kHeaderSize] = {};
    size_t headerBytes_ = 0;
    bool inPayload_ = false;
    uint64_t skip_ = 0;
    Header header_;
    std::string payload_;
};

} // namespace hislip
