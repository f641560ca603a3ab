// The parts of a HiSLIP server: its connections (channels) and its sessions.
#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <limits>
#include <memory>
#include <string>

#include "HislipServer.h"
#include "LineReader.h"
#include "SaslServer.h"
#include "ScpiDevice.h"
#include "TlsChannel.h"

// A client's connection: new until its first message says which channel of
// which session it is. A message may be held back (a synchronous one while
// another link's lock holds the session off, a lock request waiting for the
// lock): the bytes after it wait, read or in the socket.
struct HislipServer::Channel {
    enum class Role { New, Sync, Async };
    QTcpSocket* socket = nullptr;
    QHostAddress address; // where it comes from
    QString peer;
    Role role = Role::New;
    uint16_t session = 0;
    hislip::Reader reader{256}; // an Initialize's sub-address at most, until it is a sync channel
    QByteArray in;              // read from the socket, not taken yet
    QElapsedTimer lastByte;
    bool gone = false;
    bool closing = false; // it never read what was sent: closed at the next turn
    bool holding = false;
    hislip::Header held;
    std::string heldPayload;
    QElapsedTimer heldSince;
    // TLS once the client asked for it: its bytes go through it from the
    // end of the message that started it (tlsStarting until then).
    std::unique_ptr<TlsChannel> tls;
    bool tlsStarting = false;
    bool tlsEnding = false; // the server said close_notify; the client's ends TLS
    QByteArray beforeTls;   // what is sent while the handshake is under way
};

// A session: its two channels, its link of the device, the message it is
// sending (its lines run as they end), the response being made, and where
// the conversation stands.
struct HislipServer::Session {
    uint16_t id = 0;
    uint16_t version = 0; // the protocol version both sides speak
    ScpiDevice* device = nullptr;
    std::shared_ptr<Access> access; // its device's, as the session began
    std::unique_ptr<scpi::Session> link;
    QHostAddress address; // of the synchronous channel: the asynchronous one comes from there too
    QString peer;
    Channel* sync = nullptr;
    Channel* async = nullptr;
    uint64_t clientMax = std::numeric_limits<uint64_t>::max(); // the largest message it takes
    scpi::LineReader reader;
    std::string output;
    std::string
        sending; // a response going out a slice at a time (the channel reads nothing meanwhile)
    size_t sendingAt = 0;
    uint32_t sendingId = 0;
    bool slicing = false;                         // a slice is being written
    uint32_t messageId = hislip::kFirstMessageId; // of the last Data, DataEnd or Trigger
    bool responsePending = false;     // a response was sent and the client has not said it read it
    bool clearing = false;            // a device clear waits for DeviceClearComplete
    bool requested = false;           // the status byte's request bit at the last look
    QElapsedTimer lastMessage;        // of either channel
    std::unique_ptr<SaslServer> sasl; // an authentication under way
    bool endingTls = false;           // AsyncEndTLS succeeded; EndTLS is awaited
    qint64 authAt = 0;                // it is checked from this time on (the guard's)
};
