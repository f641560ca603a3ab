// What the program's servers do alike with their clients' connections: one
// just taken is set up (what it is sent leaves at once; at most `readAhead`
// bytes are read ahead of the server, the rest waits in the system's
// buffers; a peer that vanishes without a word is found by TCP keepalive)
// and its bytes and its end reach the server while the server's object for
// it lives; one refused is closed at once, nothing read; and when every
// place is taken, the one idle longest gives way to a newcomer, once it has
// been idle long enough.
#pragma once

#include <QPointer>
#include <QTcpSocket>
#include <chrono>
#include <memory>

namespace clients {

// How a peer that is gone without closing (its cable pulled, its computer
// off) is found: after `idle` without a byte, a probe every `interval`;
// `probes` unanswered end the connection. Data sent and not acknowledged for
// as long ends it too. The defaults find a silent peer within 50 s.
struct KeepAlive {
    std::chrono::seconds idle{20};
    std::chrono::seconds interval{5};
    int probes = 6;
    std::chrono::seconds total() const { return idle + interval * probes; }
};

// Sets `keepAlive` on the socket `fd`.
void SetKeepAlive(qintptr fd, const KeepAlive& keepAlive);

// How long a client may keep a line (or a message, a record) unfinished
// without sending a byte (it is then closed), how long it must have been
// idle before a newcomer may take its place when every place is taken (one
// holding a lock keeps its place), how long a call of the transports that
// wait for a lock waits at most, and how a client gone without a word is found.
struct Limits {
    std::chrono::milliseconds partialLine{10000};
    std::chrono::milliseconds takeover{30000};
    std::chrono::milliseconds lockWait{30000};
    KeepAlive keepAlive;
};

inline QString PeerName(const QTcpSocket& socket) {
    return socket.peerAddress().toString() + ":" + QString::number(socket.peerPort());
}

inline void Refuse(QTcpSocket* socket) {
    socket->abort();
    socket->deleteLater();
}

// `read(item)` when bytes come, `gone(*item)` when the peer leaves or its
// connection fails, as long as `item` lives. The end is told at the event
// loop's next turn, never from within a write of the server's (a write to a
// peer that reset fails and ends the socket there): a server's handler finds
// what it works on as it left it.
template <class T, class Read, class Gone>
void Watch(QObject* owner, QTcpSocket* socket, qint64 readAhead, const KeepAlive& keepAlive,
           const std::shared_ptr<T>& item, Read read, Gone gone) {
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(readAhead);
    SetKeepAlive(socket->socketDescriptor(), keepAlive);
    const std::weak_ptr<T> weak = item;
    QObject::connect(socket, &QTcpSocket::readyRead, owner, [weak, read] {
        if (const auto k = weak.lock())
            read(k);
    });
    QObject::connect(
        socket, &QTcpSocket::disconnected, owner,
        [weak, gone] {
            if (const auto k = weak.lock())
                gone(*k);
        },
        Qt::QueuedConnection);
    QObject::connect(
        socket, &QTcpSocket::errorOccurred, owner,
        [weak, gone, alive = QPointer<QTcpSocket>(socket)] {
            const auto k = weak.lock();
            if (k && alive && alive->state() != QAbstractSocket::ConnectedState)
                gone(*k); // not a passing fault
        },
        Qt::QueuedConnection);
}

// The candidate idle longest, among those offered, once idle for `limit`.
template <class T> class Idlest {
public:
    explicit Idlest(std::chrono::milliseconds limit) : limit_(limit.count()) {}
    void offer(T* item, qint64 idleMs) {
        if (!item_ || idleMs > idleMs_) {
            item_ = item;
            idleMs_ = idleMs;
        }
    }
    T* found() const { return item_ && idleMs_ >= limit_ ? item_ : nullptr; }

private:
    qint64 limit_;
    T* item_ = nullptr;
    qint64 idleMs_ = 0;
};

} // namespace clients
