// VXI-11, a transport of SCPI devices: the core channel (links, writes
// ending with END, reads up to the requested size or the termination
// character, the status byte, device clear, locks, service requests through
// the client's interrupt channel) and the abort channel, each link a session
// of its device. Devices are "inst0", "inst1", ... in the order they were
// added. ONC RPC messages are read and written with the RPC library's XDR
// routines (the interface's made by rpcgen); the connections are the
// program's own sockets, read as bytes come, so a slow or silent client
// delays nobody, and bounded as the raw socket's are. A call that waits for
// a lock holds its connection's later calls back until it is answered.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DeviceNames.h"
#include "ScpiServer.h"

class QTcpServer;
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

    explicit Vxi11Server(QObject* parent = nullptr);
    ~Vxi11Server() override;

    // As the raw socket's: a connection inside a record that sends no byte
    // for `partialLine` is closed; a newcomer finding every link (or every
    // connection) taken takes the one that made no call for `takeover`,
    // unless it holds the device's lock or the front panel's, or waits.
    void setIdleLimits(ScpiServer::IdleLimits limits);

    // The devices served; `device` outlives the server or is removed first.
    // A device removed gives its name up to the next one added.
    void addDevice(ScpiDevice& device);
    void removeDevice(ScpiDevice& device);
    // Whether any device is served.
    bool serves() const;
    // "inst0" for the first device added.
    QString deviceName(const ScpiDevice& device) const;

    // Listens on `address` (core channel on `port`, 0: any free one; abort
    // channel on any free port) and registers the core channel with the
    // system's port mapper; false with the reason.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    void close();
    bool listening() const;
    quint16 port() const;
    quint16 abortPort() const;
    // Whether the system's port mapper (rpcbind) knows the core channel's
    // port: without it, clients that look the port up cannot find it.
    bool portMapperRegistered() const { return registered_; }
    // Each open link: "127.0.0.1:50122 inst0".
    QStringList links() const;

    // The procedures, as the dispatch calls them for a connection.
    struct Link;
    Link* link(long id);
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
    // Ends the wait of a call of the link that waits for a lock.
    int abort(long id);
    void clear(Link& link);
    unsigned char statusByte(Link& link);
    void enableSrq(Link& link, bool enable, const std::string& handle);
    int createInterruptChannel(int connection, unsigned long address, unsigned short port,
                               unsigned long program, unsigned long version);
    void destroyInterruptChannel(int connection);

signals:
    void linksChanged();

private:
    struct Connection;
    struct Interrupt;
    void accept(QTcpServer* listener, bool abortChannel);
    void read(const std::shared_ptr<Connection>& c);
    void answer(Connection& c, const std::string& record, Vxi11Wait& wait);
    void resumeWaiting();
    void drop(Connection& c);
    void dropStalled();
    bool freeConnection();
    bool freeLink();
    bool keeps(const Link& link) const;
    ScpiDevice* named(const char* device) const;
    void requestService(Link& link);

    DeviceNames devices_{"inst"};
    QTcpServer* core_;
    QTcpServer* abort_;
    QTimer* stallTimer_;
    QTimer* waitTimer_; // the first waiting call's time is up, or a lock was given up
    ScpiServer::IdleLimits limits_;
    std::vector<std::shared_ptr<Connection>> connections_;
    std::map<long, std::unique_ptr<Link>> links_;
    std::map<int, std::unique_ptr<Interrupt>> interrupts_; // by the connection that made it
    long nextLink_ = 1;
    int nextConnection_ = 1;
    bool registered_ = false;
};
