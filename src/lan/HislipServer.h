// HiSLIP (version 2.0, falling back to the client's version), a transport
// of SCPI devices: each session is a synchronous channel (Data and DataEnd
// carrying the device's messages, responses, Trigger, the end of a device
// clear) and an asynchronous one (device clear, the status byte, service
// requests, locks, remote and local control, the largest message), each
// session a link of its device, named "hislip0", "hislip1", ... in the order
// the devices were added. Synchronized mode: a message sent before the
// previous response was read interrupts it (IEEE 488.2's query
// interrupted). Where the access offers TLS, HiSLIP 2.0's secure connection
// (AsyncStartTLS and StartTLS, AsyncEndTLS and EndTLS) and, over it, SASL
// authentication (GetSaslMechanismList, AuthenticationStart,
// AuthenticationExchange, AuthenticationResult) signing the session's link
// in as a user (HislipSecure.cpp). Messages are read as their
// bytes come and bounded as the raw socket's lines are; a long response
// leaves a slice at a time between other clients' turns; a session that
// another link's lock holds off waits, its later messages in the socket.
// Session ids are drawn at random, and a session's asynchronous channel is
// taken only from the address of its synchronous one.
#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Access.h"
#include "ClientDoor.h"
#include "ClientSockets.h"
#include "DeviceNames.h"
#include "HislipMessage.h"

namespace clients {
class Listener;
}
class QTimer;
class ScpiDevice;

class HislipServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kPort = 4880;
    // The largest message taken, header included: a whole wave memory as
    // one block fits in one.
    static constexpr uint64_t kMaxMessage = 1024 * 1024 + hislip::kHeaderSize;
    // Sessions at once (each two connections).
    static constexpr int kMaxSessions = 16;
    // What one turn of the event loop sends of a long response, and what
    // may wait in the socket before the next slice is made.
    static constexpr size_t kSliceBytes = 64 * 1024;
    static constexpr qint64 kSendAhead = 1024 * 1024;
    // What a client may leave unread, or pile up as the answers of a message
    // it never ends, before its session is closed.
    static constexpr qint64 kMaxUnread = 4 * 1024 * 1024;
    // The vendor this server names in AsyncInitializeResponse.
    static constexpr uint16_t kVendorId = 0x4E56; // "NV"

    explicit HislipServer(QObject* parent = nullptr);
    ~HislipServer() override;

    // As the raw socket's: a connection inside a message (or not yet
    // initialized) that sends no byte for `partialLine` is closed; a newcomer
    // finding every session taken takes the one that sent no message for
    // `takeover` (one held off counts from its message), unless it holds a
    // lock or the front panel; a lock is waited for `lockWait` at most; a
    // silent peer is found by `keepAlive`.
    void setIdleLimits(clients::Limits limits);
    // The door newcomers pass (the allow list); none: whoever reaches the port.
    void setDoor(std::shared_ptr<clients::Door> door) { door_ = std::move(door); }
    // Who may do what with a device (TLS offered, sign-in, secure mode);
    // none: no secure connection is offered to its sessions.
    void setAccess(const ScpiDevice& device, std::shared_ptr<Access> access);
    const Access* access(const ScpiDevice& device) const { return accessOf(device).get(); }

    // The devices served; `device` outlives the server or is removed first.
    void addDevice(ScpiDevice& device);
    void removeDevice(ScpiDevice& device);
    bool serves() const;
    // "hislip0" for the first device added.
    QString deviceName(const ScpiDevice& device) const;

    // Listens on each address, all on `port` (0: any free port); false with
    // the reason.
    bool listen(const QList<QHostAddress>& addresses, quint16 port, QString& error);
    bool listen(const QHostAddress& address, quint16 port, QString& error) {
        return listen(QList<QHostAddress>{address}, port, error);
    }
    void close();
    bool listening() const;
    quint16 port() const;
    // Each session: "127.0.0.1:50122 hislip0".
    QStringList sessions() const;

signals:
    void sessionsChanged();

private:
    struct Channel;
    struct Session;
    using ChannelPtr = std::shared_ptr<Channel>;

    void accept();
    void read(const ChannelPtr& c);
    void dispatch(const ChannelPtr& c, const hislip::Header& h, const std::string& payload);
    void initialize(const ChannelPtr& c, const hislip::Header& h, const std::string& payload);
    void initializeAsync(const ChannelPtr& c, const hislip::Header& h);
    void onSync(Session& s, const hislip::Header& h, const std::string& payload);
    void onAsync(Session& s, const hislip::Header& h, const std::string& payload);
    void onData(Session& s, const hislip::Header& h, const std::string& payload);
    void onLock(Session& s, const hislip::Header& h, const std::string& payload);
    void onRemoteLocal(Session& s, const hislip::Header& h);
    void deviceClear(Session& s);
    void respond(Session& s);
    void sendSome(Session& s);
    void readLater(Channel& c);
    void requestService(Session& s);
    void resume();
    void send(Channel& c, uint8_t type, uint8_t control, uint32_t parameter,
              std::string_view payload = {});
    // Bytes to the client, through TLS where the channel has it.
    void write(Channel& c, const QByteArray& bytes);
    // The secure connection and authentication (HislipSecure.cpp).
    void onStartTls(Session& s, const hislip::Header& h);
    void onEndTls(Session& s);
    bool onSecure(Session& s, const hislip::Header& h, const std::string& payload);
    void authenticate(Session& s, const hislip::Header& h, const std::string& payload);
    void exchange(Session& s, const std::string& payload);
    // The client's bytes through the channel's TLS: what they carry in clear.
    QByteArray decrypt(Channel& c, const QByteArray& bytes);
    void endTls(Channel& c);
    bool encrypted(const Session& s) const;
    // Whether a message of the device must wait for the secure connection.
    bool securityMissing(const Session& s) const;
    uint8_t features(const Session& s) const;
    std::shared_ptr<Access> accessOf(const ScpiDevice& device) const;
    void fatal(Channel& c, hislip::FatalCode code, const char* text);
    void refuse(Channel& c, hislip::ErrorCode code, const char* text);
    void drop(Channel& c);
    void closeLater(Channel& c);
    void dropSession(Session& s);
    void dropStalled();
    bool freeSession();
    bool keeps(const Session& s) const;
    Session* sessionOf(const Channel& c) const;

    DeviceNames devices_{"hislip"};
    clients::Listener* listener_;
    QTimer* stallTimer_;
    QTimer* resumeTimer_; // a lock was given up, or a waiting lock request's time is up
    clients::Limits limits_;
    std::shared_ptr<clients::Door> door_;
    std::map<const ScpiDevice*, std::shared_ptr<Access>> accesses_;
    QElapsedTimer clock_; // since the server was made: when sign-in attempts may be checked
    std::vector<ChannelPtr> channels_;
    std::vector<std::unique_ptr<Session>> sessions_;
};
