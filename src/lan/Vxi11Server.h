// VXI-11, a transport of SCPI devices: the core channel over ONC RPC (links,
// writes ending with END, reads up to the requested size or the termination
// character, the status byte, device clear, locks, service requests through
// the client's interrupt channel) and the abort channel, each link a session
// of its device. Devices are "inst0", "inst1", ... in the order they were
// added. The RPC library's server state is process-wide: one server runs
// in a process. It runs in the program's thread, its sockets never block:
// a slow client delays nobody.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;
class ScpiDevice;

class Vxi11Server : public QObject {
    Q_OBJECT
public:
    // The most data one device_write takes (a whole wave memory's block fits).
    static constexpr unsigned kMaxRecvSize = 1024 * 1024;
    // Links open at once, over every connection.
    static constexpr int kMaxLinks = 16;

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
        ChannelEstablished = 29,
    };
    enum Reason : long { RequestCount = 1, TermChar = 2, End = 4 };
    enum Flag : long { WaitLock = 1, EndFlag = 8, TermCharSet = 128 };

    explicit Vxi11Server(QObject* parent = nullptr);
    ~Vxi11Server() override;

    // The devices served; `device` outlives the server or is removed first.
    void addDevice(ScpiDevice& device);
    void removeDevice(ScpiDevice& device);
    // "inst0" for the first device added.
    QString deviceName(const ScpiDevice& device) const;

    // Listens on `address` (core channel on `port`, 0: any free one; abort
    // channel on any free port) and registers the core channel with the
    // system's port mapper; false with the reason.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    void close();
    bool listening() const { return coreFd_ >= 0; }
    quint16 port() const { return port_; }
    quint16 abortPort() const { return abortPort_; }
    // Whether the system's port mapper (rpcbind) knows the core channel's
    // port: without it, clients that look the port up cannot find it.
    bool portMapperRegistered() const { return registered_; }
    // Each open link: "127.0.0.1:50122 inst0".
    QStringList links() const;

    struct Link;
    // The RPC calls, for the library's dispatch (one server per process).
    static Vxi11Server* active() { return active_; }
    Link* link(long id);
    long createLink(int fd, const QString& peer, const char* device, int& error);
    int destroyLink(long id);
    int write(Link& link, const char* data, size_t size, bool end);
    int read(Link& link, size_t requestSize, int termChar, std::string& data, long& reason);
    int lock(Link& link);
    int unlock(Link& link);
    // Whether another link of the same device holds its lock.
    bool lockedOut(const Link& link) const;
    void clear(Link& link);
    unsigned char statusByte(Link& link);
    void enableSrq(Link& link, bool enable, const std::string& handle);
    int createInterruptChannel(int fd, unsigned long address, unsigned short port,
                               unsigned long program, unsigned long version);
    void destroyInterruptChannel(int fd);

signals:
    void linksChanged();

private:
    void watch();
    void serve(int fd);
    void dropConnection(int fd);
    void requestService(Link& link);

    static Vxi11Server* active_;
    std::vector<ScpiDevice*> devices_;
    std::map<long, std::unique_ptr<Link>> links_;
    std::map<const ScpiDevice*, long> lockHolders_; // a device's VXI-11 lock
    std::map<int, std::unique_ptr<QSocketNotifier>> notifiers_;
    struct Interrupt;
    std::map<int, std::unique_ptr<Interrupt>> interrupts_; // by the connection that made it
    long nextLink_ = 1;
    int coreFd_ = -1, abortFd_ = -1;
    void* coreTransport_ = nullptr; // the RPC library's listeners (SVCXPRT)
    void* abortTransport_ = nullptr;
    quint16 port_ = 0, abortPort_ = 0;
    bool registered_ = false;
};
