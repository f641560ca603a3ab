#include "Vxi11Server.h"

#include "Listener.h"
#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <arpa/inet.h>
#include <netconfig.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ClientSockets.h"
#include "LineReader.h"
#include "ScpiDevice.h"
#include "Vxi11Dispatch.h"
#include "Vxi11Parts.h"
#include "vxi11.h"

namespace {

// A record: its fragments' bytes up to this many, headers aside.
constexpr qint64 kMaxRecord = Vxi11Server::kMaxRecvSize + 4096;

// Whether something listens on `port` of this computer (its loopback, or
// any of its IPv4 addresses: a server may listen on one only).
bool Answers(quint16 port) {
    const auto tryAt = [port](quint32 address) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(address);
        const bool yes = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (fd >= 0)
            ::close(fd);
        return yes;
    };
    if (tryAt(INADDR_LOOPBACK))
        return true;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback() &&
            tryAt(a.toIPv4Address()))
            return true;
    return false;
}

// How often a server not registered with the port mapper looks again.
constexpr int kRegisterAgainMs = 3000;

// The core channel's port with the port mapper, as pmap_set registers it
// (TCP, every address), but with an address of our own: pmap_set leaves the
// one it makes behind.
bool SetMapping(quint16 port) {
    netconfig* tcp = getnetconfigent("tcp");
    if (!tcp)
        return false;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    netbuf address{sizeof any, sizeof any, &any};
    const bool set = rpcb_set(DEVICE_CORE, DEVICE_CORE_VERSION, tcp, &address);
    freenetconfigent(tcp);
    return set;
}

// The first whole record in `in` (its fragments joined), taken out of it;
// nothing while it is incomplete. False when it goes beyond the bound.
bool TakeRecord(QByteArray& in, std::string& record, bool& complete) {
    complete = false;
    record.clear();
    qint64 at = 0;
    while (at + 4 <= in.size()) {
        const quint32 mark = qFromBigEndian<quint32>(in.constData() + at);
        const qint64 length = mark & 0x7FFFFFFF;
        if (static_cast<qint64>(record.size()) + length > kMaxRecord)
            return false;
        if (at + 4 + length > in.size())
            break;
        record.append(in.constData() + at + 4, static_cast<size_t>(length));
        at += 4 + length;
        if (mark & 0x80000000u) {
            complete = true;
            in.remove(0, at);
            return true;
        }
    }
    return in.size() <= kMaxRecord + 4 * 1024; // fragment headers of a record within bounds
}

} // namespace

Vxi11Server::Vxi11Server(QObject* parent)
    : QObject(parent), core_(new clients::Listener(this)), abort_(new clients::Listener(this)),
      stallTimer_(new QTimer(this)), waitTimer_(new QTimer(this)),
      registerTimer_(new QTimer(this)) {
    connect(core_, &clients::Listener::newConnection, this, [this] { accept(core_, false); });
    connect(abort_, &clients::Listener::newConnection, this, [this] { accept(abort_, true); });
    connect(stallTimer_, &QTimer::timeout, this, [this] { dropStalled(); });
    waitTimer_->setSingleShot(true);
    connect(waitTimer_, &QTimer::timeout, this, [this] { resumeWaiting(); });
    connect(registerTimer_, &QTimer::timeout, this, [this] { register_(); });
}

void Vxi11Server::setIdleLimits(clients::Limits limits) {
    limits_ = limits;
    if (stallTimer_->isActive())
        stallTimer_->start(std::max<int>(static_cast<int>(limits_.partialLine.count() / 4), 1));
}

Vxi11Server::~Vxi11Server() {
    close();
}

void Vxi11Server::addDevice(ScpiDevice& device) {
    // A lock given up, through any transport: calls waiting for it go on.
    connect(&device, &ScpiDevice::accessChanged, this, [this] { waitTimer_->start(0); });
    devices_.add(device);
}

void Vxi11Server::removeDevice(ScpiDevice& device) {
    std::vector<long> gone;
    for (const auto& [id, l] : links_)
        if (l->device == &device)
            gone.push_back(id);
    for (long id : gone)
        destroyLink(id);
    device.disconnect(this);
    devices_.remove(device);
}

bool Vxi11Server::serves() const {
    return devices_.any();
}

QString Vxi11Server::deviceName(const ScpiDevice& device) const {
    return devices_.name(device);
}

bool Vxi11Server::listen(const QList<QHostAddress>& addresses, quint16 port, QString& error) {
    QList<QHostAddress> v4;
    for (const QHostAddress& a : addresses)
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            v4 << a;
    if (v4.isEmpty()) {
        error = "VXI-11 listens on IPv4 addresses only";
        return false;
    }
    if (!core_->listen(v4, port) || !abort_->listen(v4, 0)) {
        error = core_->isListening() ? abort_->errorString() : core_->errorString();
        close();
        return false;
    }
    core_->setMaxPendingConnections(kMaxLinks);
    stallTimer_->start(std::max<int>(static_cast<int>(limits_.partialLine.count() / 4), 1));
    registration_ = Registration::NoPortMapper;
    holder_ = 0;
    if (usePortMapper_) {
        register_();
        registerTimer_->start(kRegisterAgainMs);
    }
    return true;
}

// Registers the core channel unless a live server holds the entry (one
// that died has it replaced). Without a port mapper (nothing answers on
// its port) the RPC library's client is not asked to find out the slow way.
void Vxi11Server::register_() {
    if (registration_ == Registration::Registered || !core_->isListening())
        return;
    if (!Answers(111))
        return setRegistration(Registration::NoPortMapper, 0);
    sockaddr_in mapper{};
    mapper.sin_family = AF_INET;
    mapper.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const u_short held = pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
    if (held != 0 && held != core_->serverPort() && Answers(held))
        return setRegistration(Registration::HeldByAnother, held);
    if (held != 0)
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    setRegistration(
        SetMapping(core_->serverPort()) ? Registration::Registered : Registration::NoPortMapper, 0);
}

void Vxi11Server::setRegistration(Registration r, quint16 holder) {
    if (r == registration_ && holder == holder_)
        return;
    registration_ = r;
    holder_ = holder;
    if (r == Registration::Registered)
        registerTimer_->stop();
    emit registrationChanged();
}

void Vxi11Server::close() {
    while (!connections_.empty())
        drop(*connections_.back());
    interrupts_.clear();
    if (registration_ == Registration::Registered)
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    registration_ = Registration::NoPortMapper;
    holder_ = 0;
    registerTimer_->stop();
    core_->close();
    abort_->close();
    stallTimer_->stop();
    waitTimer_->stop();
}

bool Vxi11Server::listening() const {
    return core_->isListening();
}

quint16 Vxi11Server::port() const {
    return core_->serverPort();
}

quint16 Vxi11Server::abortPort() const {
    return abort_->serverPort();
}

QStringList Vxi11Server::links() const {
    QStringList names;
    for (const auto& [id, l] : links_)
        names << l->peer + " " + deviceName(*l->device);
    return names;
}

void Vxi11Server::accept(clients::Listener* listener, bool abortChannel) {
    while (QTcpSocket* socket = listener->nextPendingConnection()) {
        if (door_ && !door_->admits(socket, abortChannel ? "VXI-11 abort channel" : "VXI-11"))
            continue;
        // Beyond the bound (a core and an abort connection per link), or
        // one that left before it was taken: closed at once.
        if (socket->state() != QAbstractSocket::ConnectedState ||
            (static_cast<int>(connections_.size()) >= 2 * kMaxLinks && !freeConnection())) {
            clients::Refuse(socket);
            continue;
        }
        auto c = std::make_shared<Connection>();
        c->id = nextConnection_++;
        c->socket = socket;
        c->address = socket->peerAddress();
        c->peer = clients::PeerName(*socket);
        c->abortChannel = abortChannel;
        c->lastByte.start();
        connections_.push_back(c);
        clients::Watch(
            this, socket, kMaxRecord + 64 * 1024, limits_.keepAlive, c,
            [this](const auto& k) { read(k); }, [this](Connection& k) { drop(k); });
    }
}

// Each whole record is answered as it completes; a record beyond the bound
// closes its connection. While a call waits, the rest stays in the socket.
void Vxi11Server::read(const std::shared_ptr<Connection>& connection) {
    Connection& c = *connection;
    if (!c.waiting.empty())
        return;
    // Idle since the last byte came, not since the last look (a call that
    // waited for a lock is answered without a byte coming).
    if (const QByteArray bytes = c.socket->readAll(); !bytes.isEmpty()) {
        c.in += bytes;
        c.lastByte.start();
    }
    std::string record;
    for (bool complete = true; complete && !c.gone && c.waiting.empty();) {
        if (!TakeRecord(c.in, record, complete))
            return drop(c);
        if (complete) {
            Vxi11Wait wait;
            answer(c, record, wait);
        }
    }
}

// The reply to a call, sent now; or the call kept while it waits for a lock.
void Vxi11Server::answer(Connection& c, const std::string& record, Vxi11Wait& wait) {
    const std::string reply = Vxi11Reply(*this, c.id, c.abortChannel, record, &wait);
    if (c.gone)
        return;
    if (wait.forMs) {
        if (c.waiting.empty()) { // it begins to wait: the timer is set for it
            c.waiting = record;
            c.waitingSince.start();
            c.waitingFor = wait.forMs;
            waitTimer_->start(0);
        }
        return;
    }
    c.waiting.clear();
    c.waitAborted = false;
    if (reply.empty())
        return;
    char mark[4];
    qToBigEndian<quint32>(0x80000000u | static_cast<quint32>(reply.size()), mark);
    c.socket->write(mark, 4);
    c.socket->write(reply.data(), static_cast<qint64>(reply.size()));
    c.socket->flush(); // now, not at the event loop's next turn: the client waits for it
    const bool piledUp = std::any_of(links_.begin(), links_.end(), [&c](const auto& l) {
        return l.second->connection == c.id &&
               l.second->output.size() - l.second->outputAt > size_t(kMaxUnread);
    });
    if (!c.gone && (c.socket->bytesToWrite() > kMaxUnread || piledUp))
        drop(c); // a client that never reads its replies, or its answers
}

// Each waiting call is tried again, in the order the connections came (the
// first gets a lock given up); one answered goes on with its connection's
// calls. The timer is set for the first whose time will be up.
void Vxi11Server::resumeWaiting() {
    const auto connections = connections_;
    for (const auto& c : connections) {
        if (c->gone || c->waiting.empty())
            continue;
        Vxi11Wait wait;
        wait.over = c->waitingSince.elapsed() >= static_cast<qint64>(c->waitingFor);
        wait.aborted = c->waitAborted;
        answer(*c, c->waiting, wait);
        if (!c->gone && c->waiting.empty())
            read(c);
    }
    qint64 next = -1;
    for (const auto& c : connections_)
        if (!c->waiting.empty()) {
            const qint64 left = static_cast<qint64>(c->waitingFor) - c->waitingSince.elapsed();
            next = next < 0 ? std::max<qint64>(left, 0) : std::min(next, std::max<qint64>(left, 0));
        }
    if (next >= 0 && !waitTimer_->isActive())
        waitTimer_->start(static_cast<int>(next + 1));
}

Vxi11Server::Connection* Vxi11Server::connection(int id) const {
    for (const auto& c : connections_)
        if (c->id == id)
            return c.get();
    return nullptr;
}

void Vxi11Server::drop(Connection& c) {
    if (c.gone)
        return;
    c.gone = true;
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [&c](const auto& p) { return p.get() == &c; });
    if (it == connections_.end())
        return;
    const std::shared_ptr<Connection> keep = *it; // alive until the end of this call
    connections_.erase(it);
    std::vector<long> gone;
    for (const auto& [id, l] : links_)
        if (l->connection == c.id)
            gone.push_back(id);
    for (long id : gone)
        destroyLink(id);
    interrupts_.erase(c.id);
    c.socket->disconnect(this);
    c.socket->abort();
    c.socket->deleteLater();
}

// A connection inside a record that sent nothing for long is closed.
void Vxi11Server::dropStalled() {
    std::vector<Connection*> stalled;
    for (const auto& c : connections_)
        if (!c->in.isEmpty() && c->waiting.empty() &&
            c->lastByte.elapsed() >= limits_.partialLine.count())
            stalled.push_back(c.get());
    for (Connection* c : stalled)
        drop(*c);
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Vxi11Server.cpp"
