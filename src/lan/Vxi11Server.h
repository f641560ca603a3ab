// VXI-11, a transport of SCPI devices: the core channel (links, writes
// ending with END, reads up to the requested size or the termination
// character, the status byte, device clear, locks, service requests through
// the client's interrupt channel) and the abort channel, each link a session
// of its device. Devices are "inst0", "inst1", ... in the order they were
// added. ONC RPC messages are read and written with the RPC library's XDR
// routines (the interface's made by rpcgen); the connections are the
// program's own sockets, read as bytes come and written without waiting, so
// a slow or silent client delays nobody, and bounded as the raw socket's
// are. A link is its connection's: its id means nothing on another. A call
// that waits for a lock (or for its interrupt channel to connect) holds its
// connection's later calls back until it is answered.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ClientDoor.h"
#include "ClientSockets.h"
#include "DeviceNames.h"

namespace clients {
class Listener;
}
class QTcpSocket;
class QTimer;
class ScpiDevice;
struct Vxi11Wait;

class Vxi11Server : public QObject {
    Q_OBJECT
public:
    // The most data one device_write takes (a whole wave memory's block fits).
    static constexpr unsigned kMaxRecvSize = 1024 * 1024;
    // Links open at once, and connections, over every client.
    static constexpr int kMaxLinks = 16;
    // Replies, or a link's answers, a client may leave unread before its
    // connection is closed.
    static constexpr qint64 kMaxUnread = 4 * 1024 * 1024;
    // How long connecting a client's interrupt channel may take, and what
    // it may leave unread before the channel is dropped (the link goes on).
    static constexpr int kInterruptConnectMs = 2000;
    static constexpr qint64 kMaxInterruptUnread = 64 * 1024;

    // VXI-11's error codes, device_read's reasons and the calls' flags.
    enum Error : int {
        NoError = 0,
        NotAccessible = 3,
        InvalidLink = 4,
        ChannelNotEstablished = 6,
        NotSupported = 8,
        OutOfResources = 9,
        LockedByAnother = 11,
        NoLockHeld = 12,
        IoTimeout = 15,
        Abort = 23,
        ChannelEstablished = 29,
    };
    enum Reason : long { RequestCount = 1, TermChar = 2, End = 4 };
    enum Flag : long { WaitLock = 1, EndFlag = 8, TermCharSet = 128 };

    // Whether clients can look the core channel's port up: registered with
    // the system's port mapper, no port mapper answering, or its entry held
    // by another live server (whose device TCPIP::HOST::INSTR then reaches).
    enum class Registration { Registered, NoPortMapper, HeldByAnother };

    explicit Vxi11Server(QObject* parent = nullptr);
    ~Vxi11Server() override;

    // As the raw socket's: a connection inside a record that sends no byte
    // for `partialLine` is closed; a newcomer finding every link (or every
    // connection) taken takes the one that made no call for `takeover` (a
    // call waiting for a lock counts from when it came), unless it holds
    // the device's lock or the front panel's; a lock is waited for
    // `lockWait` at most; a silent peer is found by `keepAlive`.
    void setIdleLimits(clients::Limits limits);
    // Its core and abort channels' door (the interrupt channel goes only to
    // the address a link came from).
    void setDoor(std::shared_ptr<clients::Door> door) { door_ = std::move(door); }
    // Whether listen() registers with the system's port mapper (on: tests
    // on a computer's own loopback leave its port mapper alone).
    void setUsePortMapper(bool use) { usePortMapper_ = use; }

    // The devices served; `device` outlives the server or is removed first.
    // A device removed gives its name up to the next one added.
    void addDevice(ScpiDevice& device);
    void removeDevice(ScpiDevice& device);
    // Whether any device is served.
    bool serves() const;
    // "inst0" for the first device added.
    QString deviceName(const ScpiDevice& device) const;

    // Listens on each IPv4 address of `addresses` (core channel on `port`,
    // 0: any free one; abort channel on any free port, the same on each)
    // and registers the core channel with the system's port mapper; false
    // with the reason. While it is not registered, it looks again every few
    // seconds and registers as soon as it may (another server's entry gone,
    // a port mapper started).
    bool listen(const QList<QHostAddress>& addresses, quint16 port, QString& error);
    bool listen(const QHostAddress& address, quint16 port, QString& error) {
        return listen(QList<QHostAddress>{address}, port, error);
    }
    void close();
    bool listening() const;
    quint16 port() const;
    quint16 abortPort() const;
    Registration registration() const { return registration_; }
    // The port of the server whose entry the port mapper holds (HeldByAnother).
    quint16 portMapperHolder() const { return holder_; }
    // Whether TCPIP::HOST::INSTR can reach this server: not while the port
    // mapper sends clients to another.
    bool reachable() const { return registration_ != Registration::HeldByAnother; }
    // Each open link: "127.0.0.1:50122 inst0".
    QStringList links() const;

    // The procedures, as the dispatch calls them for a connection: a link is
    // found only on the connection that made it.
    struct Link;
    Link* link(int connection, long id);
    long createLink(int connection, const char* device, int& error);
    int destroyLink(long id);
    int write(Link& link, const char* data, size_t size, bool end);
    int read(Link& link, size_t requestSize, int termChar, std::string& data, long& reason);
    int lock(Link& link);
    int unlock(Link& link);
    // Whether another link of the same device holds its lock; whether any
    // link holds the lock of the device so named.
    bool lockedOut(const Link& link) const;
    bool lockedOut(const char* device) const;
    // The longest a call waits for a lock, in ms.
    unsigned long lockWaitCap() const;
    // Ends the wait of a call of the link that waits for a lock; only from
    // the address that made the link (`connection` is the abort channel's).
    int abort(int connection, long id);
    void clear(Link& link);
    unsigned char statusByte(Link& link);
    void enableSrq(Link& link, bool enable, const std::string& handle);
    // The client's interrupt channel, to `address`:`port` (only the address
    // the connection comes from). While it connects the call waits when
    // `wait` (ChannelNotEstablished when it cannot be reached in time).
    int createInterruptChannel(int connection, unsigned long address, unsigned short port,
                               unsigned long program, unsigned long version, Vxi11Wait* wait);
    void destroyInterruptChannel(int connection);

signals:
    void linksChanged();
    void registrationChanged();

private:
    struct Connection;
    struct Interrupt;
    void accept(clients::Listener* listener, bool abortChannel);
    void read(const std::shared_ptr<Connection>& c);
    void answer(Connection& c, const std::string& record, Vxi11Wait& wait);
    void resumeWaiting();
    void drop(Connection& c);
    void dropStalled();
    bool freeConnection();
    bool freeLink();
    bool keeps(const Link& link) const;
    qint64 idleMs(const Link& link) const;
    Connection* connection(int id) const;
    ScpiDevice* named(const char* device) const;
    void requestService(Link& link);
    void sendInterrupt(int connection, const std::string& handle);
    void register_();
    void setRegistration(Registration r, quint16 holder);

    DeviceNames devices_{"inst"};
    clients::Listener* core_;
    clients::Listener* abort_;
    QTimer* stallTimer_;
    QTimer* waitTimer_;     // the first waiting call's time is up, or a lock was given up
    QTimer* registerTimer_; // not registered: looks again
    clients::Limits limits_;
    std::shared_ptr<clients::Door> door_;
    std::vector<std::shared_ptr<Connection>> connections_;
    std::map<long, std::unique_ptr<Link>> links_;
    std::map<int, std::unique_ptr<Interrupt>> interrupts_; // by the connection that made it
    int nextConnection_ = 1;
    bool usePortMapper_ = true;
    Registration registration_ = Registration::NoPortMapper;
    quint16 holder_ = 0;
};
