#include "Vxi11Server.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include "LineReader.h"
#include "ScpiDevice.h"
#include "Vxi11Dispatch.h"
#include "vxi11.h"

namespace {

// A record: its fragments' bytes up to this many, headers aside.
constexpr qint64 kMaxRecord = Vxi11Server::kMaxRecvSize + 4096;
// What a client may leave unread before it is closed.
constexpr qint64 kMaxUnread = 4 * 1024 * 1024;

// Whether something listens on the loopback's `port`.
bool Answers(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool yes = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0)
        ::close(fd);
    return yes;
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

// One link: a session of its device, the message it is sending (read as it
// comes), the answers it has not read yet, and its service request.
struct Vxi11Server::Link {
    long id = 0;
    int connection = 0; // the connection it was made on
    QString peer;
    ScpiDevice* device = nullptr;
    std::unique_ptr<scpi::Session> session;
    scpi::LineReader reader;
    std::string output;
    size_t outputAt = 0;
    bool srqEnabled = false;
    std::string srqHandle;
    bool requested = false; // the status byte's request bit was set at the last look
};

// A client's connection to the core or the abort channel, and the record it
// is sending.
struct Vxi11Server::Connection {
    int id = 0;
    QTcpSocket* socket = nullptr;
    QString peer;
    bool abortChannel = false;
    QByteArray in;
    QElapsedTimer lastByte;
    bool gone = false;
};

// The client's interrupt channel: an RPC client of its DEVICE_INTR program.
struct Vxi11Server::Interrupt {
    CLIENT* client = nullptr;
    ~Interrupt() {
        if (client)
            clnt_destroy(client);
    }
};

Vxi11Server::Vxi11Server(QObject* parent)
    : QObject(parent), core_(new QTcpServer(this)), abort_(new QTcpServer(this)),
      stallTimer_(new QTimer(this)) {
    connect(core_, &QTcpServer::newConnection, this, [this] { accept(core_, false); });
    connect(abort_, &QTcpServer::newConnection, this, [this] { accept(abort_, true); });
    connect(stallTimer_, &QTimer::timeout, this, [this] { dropStalled(); });
}

Vxi11Server::~Vxi11Server() {
    close();
}

// A device takes the first free name: a place given up is taken again.
void Vxi11Server::addDevice(ScpiDevice& device) {
    const auto free = std::find(devices_.begin(), devices_.end(), nullptr);
    if (free != devices_.end())
        *free = &device;
    else
        devices_.push_back(&device);
}

void Vxi11Server::removeDevice(ScpiDevice& device) {
    std::vector<long> gone;
    for (const auto& [id, l] : links_)
        if (l->device == &device)
            gone.push_back(id);
    for (long id : gone)
        destroyLink(id);
    // Its place stays, so that the others keep their names.
    std::replace(devices_.begin(), devices_.end(), &device, static_cast<ScpiDevice*>(nullptr));
}

bool Vxi11Server::serves() const {
    return std::any_of(devices_.begin(), devices_.end(), [](const ScpiDevice* d) { return d; });
}

QString Vxi11Server::deviceName(const ScpiDevice& device) const {
    const auto it = std::find(devices_.begin(), devices_.end(), &device);
    return it == devices_.end() ? QString() : "inst" + QString::number(it - devices_.begin());
}

bool Vxi11Server::listen(const QHostAddress& address, quint16 port, QString& error) {
    if (address.protocol() != QAbstractSocket::IPv4Protocol) {
        error = "VXI-11 listens on an IPv4 address";
        return false;
    }
    if (!core_->listen(address, port) || !abort_->listen(address, 0)) {
        error = core_->isListening() ? abort_->errorString() : core_->errorString();
        close();
        return false;
    }
    core_->setMaxPendingConnections(kMaxLinks);
    stallTimer_->start(static_cast<int>(kPartialRecord.count() / 4));
    // No port mapper listening: nothing to register with (and the RPC
    // library's client is not asked to find out the slow way).
    if (!Answers(111)) {
        registered_ = false;
        return true;
    }
    // An entry of a program that died is replaced; a live server's is kept.
    sockaddr_in mapper{};
    mapper.sin_family = AF_INET;
    mapper.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (const u_short held = pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
        held != 0 && !Answers(held))
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    registered_ = pmap_set(DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, core_->serverPort());
    return true;
}

void Vxi11Server::close() {
    while (!connections_.empty())
        drop(*connections_.back());
    interrupts_.clear();
    if (registered_)
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    registered_ = false;
    core_->close();
    abort_->close();
    stallTimer_->stop();
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

void Vxi11Server::accept(QTcpServer* listener, bool abortChannel) {
    while (QTcpSocket* socket = listener->nextPendingConnection()) {
        // Beyond the bound (a core and an abort connection per link), or
        // one that left before it was taken: closed at once.
        if (socket->state() != QAbstractSocket::ConnectedState ||
            static_cast<int>(connections_.size()) >= 2 * kMaxLinks) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setReadBufferSize(kMaxRecord + 64 * 1024);
        auto c = std::make_shared<Connection>();
        c->id = nextConnection_++;
        c->socket = socket;
        c->peer = socket->peerAddress().toString() + ":" + QString::number(socket->peerPort());
        c->abortChannel = abortChannel;
        c->lastByte.start();
        connections_.push_back(c);
        const std::weak_ptr<Connection> weak = c;
        connect(socket, &QTcpSocket::readyRead, this, [this, weak] {
            if (const auto k = weak.lock())
                read(k);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, weak] {
            if (const auto k = weak.lock())
                drop(*k);
        });
    }
}

// Each whole record is answered as it completes; a record beyond the bound
// closes its connection.
void Vxi11Server::read(const std::shared_ptr<Connection>& connection) {
    Connection& c = *connection;
    c.in += c.socket->readAll();
    c.lastByte.start();
    std::string record;
    for (bool complete = true; complete && !c.gone;) {
        if (!TakeRecord(c.in, record, complete))
            return drop(c);
        if (!complete)
            break;
        const std::string reply = Vxi11Reply(*this, c.id, c.abortChannel, record);
        if (c.gone || reply.empty())
            continue;
        char mark[4];
        qToBigEndian<quint32>(0x80000000u | static_cast<quint32>(reply.size()), mark);
        c.socket->write(mark, 4);
        c.socket->write(reply.data(), static_cast<qint64>(reply.size()));
        c.socket->flush(); // now, not at the event loop's next turn: the client waits for it
        if (c.gone)
            return;
        if (c.socket->bytesToWrite() > kMaxUnread)
            return drop(c); // a client that never reads its replies
    }
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
        if (!c->in.isEmpty() && c->lastByte.elapsed() >= kPartialRecord.count())
            stalled.push_back(c.get());
    for (Connection* c : stalled)
        drop(*c);
}

Vxi11Server::Link* Vxi11Server::link(long id) {
    const auto it = links_.find(id);
    return it == links_.end() ? nullptr : it->second.get();
}

long Vxi11Server::createLink(int connection, const char* device, int& error) {
    const QString name = QString::fromLatin1(device ? device : "").toLower();
    bool number = name.startsWith("inst");
    const int index = number ? name.mid(4).toInt(&number) : -1;
    if (!number || index < 0 || index >= static_cast<int>(devices_.size()) || !devices_[index]) {
        error = NotAccessible;
        return 0;
    }
    if (static_cast<int>(links_.size()) >= kMaxLinks) {
        error = OutOfResources;
        return 0;
    }
    auto l = std::make_unique<Link>();
    l->id = nextLink_++;
    l->connection = connection;
    for (const auto& c : connections_)
        if (c->id == connection)
            l->peer = c->peer;
    l->device = devices_[index];
    l->session = l->device->openLink(l->peer + " (VXI-11)");
    const long id = l->id;
    links_[id] = std::move(l);
    error = NoError;
    emit linksChanged();
    return id;
}

int Vxi11Server::destroyLink(long id) {
    const auto it = links_.find(id);
    if (it == links_.end())
        return InvalidLink;
    Link& l = *it->second;
    if (const auto held = lockHolders_.find(l.device);
        held != lockHolders_.end() && held->second == id)
        lockHolders_.erase(held);
    l.device->closeLink(*l.session);
    links_.erase(it);
    emit linksChanged();
    return NoError;
}

bool Vxi11Server::lockedOut(const Link& l) const {
    const auto held = lockHolders_.find(l.device);
    return held != lockHolders_.end() && held->second != l.id;
}

// The message's lines run as they end; at END a line under way ends too.
int Vxi11Server::write(Link& l, const char* data, size_t size, bool end) {
    const auto take = [this, &l](const char* bytes, size_t count) {
        for (size_t i = 0; i < count;) {
            size_t taken = 0;
            const auto result = l.reader.take(bytes + i, count - i, taken);
            i += taken;
            if (result == scpi::LineReader::Result::Refused) {
                l.session->error(scpi::TooMuchData, l.reader.refusal());
            } else if (result == scpi::LineReader::Result::Line) {
                const std::string answer = l.device->run(*l.session, l.reader.line());
                if (!answer.empty())
                    l.output += answer + '\n';
            }
        }
    };
    take(data, size);
    if (end && l.reader.midLine())
        take("\n", 1);
    requestService(l);
    return NoError;
}

int Vxi11Server::read(Link& l, size_t requestSize, int termChar, std::string& data, long& reason) {
    if (l.outputAt >= l.output.size())
        return IoTimeout; // nothing to read: a query that failed answers nothing
    size_t count = std::min(requestSize, l.output.size() - l.outputAt);
    reason = 0;
    if (termChar >= 0) {
        const size_t at = l.output.find(static_cast<char>(termChar), l.outputAt);
        if (at != std::string::npos && at < l.outputAt + count) {
            count = at + 1 - l.outputAt;
            reason |= TermChar;
        }
    }
    data.assign(l.output, l.outputAt, count);
    l.outputAt += count;
    if (l.outputAt >= l.output.size()) {
        reason |= End;
        l.output.clear();
        l.outputAt = 0;
    } else if (count == requestSize) {
        reason |= RequestCount;
    }
    return NoError;
}

int Vxi11Server::lock(Link& l) {
    if (lockedOut(l))
        return LockedByAnother;
    lockHolders_[l.device] = l.id;
    return NoError;
}

int Vxi11Server::unlock(Link& l) {
    const auto held = lockHolders_.find(l.device);
    if (held == lockHolders_.end() || held->second != l.id)
        return NoLockHeld;
    lockHolders_.erase(held);
    return NoError;
}

// IEEE 488.2's device clear: what the link was sending and what it has not
// read are dropped; its status stays.
void Vxi11Server::clear(Link& l) {
    l.reader = scpi::LineReader();
    l.output.clear();
    l.outputAt = 0;
}

unsigned char Vxi11Server::statusByte(Link& l) {
    const unsigned char stb = l.session->statusByte();
    l.requested = (stb & 0x40) != 0;
    return stb;
}

void Vxi11Server::enableSrq(Link& l, bool enable, const std::string& handle) {
    l.srqEnabled = enable;
    l.srqHandle = handle;
}

int Vxi11Server::createInterruptChannel(int connection, unsigned long address, unsigned short port,
                                        unsigned long program, unsigned long version) {
    if (interrupts_.count(connection))
        return ChannelEstablished;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(static_cast<uint32_t>(address));
    int socket = RPC_ANYSOCK;
    auto interrupt = std::make_unique<Interrupt>();
    interrupt->client = clnttcp_create(&a, program, version, &socket, 0, 0);
    if (!interrupt->client)
        return OutOfResources;
    interrupts_[connection] = std::move(interrupt);
    return NoError;
}

void Vxi11Server::destroyInterruptChannel(int connection) {
    interrupts_.erase(connection);
}

// When the status byte's request bit rises, a client that asked is told
// through its interrupt channel (a call that waits for no reply).
void Vxi11Server::requestService(Link& l) {
    const bool was = l.requested;
    const bool now = (l.session->statusByte() & 0x40) != 0;
    l.requested = now;
    if (!now || was || !l.srqEnabled)
        return;
    const auto it = interrupts_.find(l.connection);
    if (it == interrupts_.end())
        return;
    Device_SrqParms parms{};
    parms.handle.handle_len = static_cast<u_int>(l.srqHandle.size());
    parms.handle.handle_val = l.srqHandle.data();
    timeval none{0, 0};
    clnt_call(it->second->client, device_intr_srq, reinterpret_cast<xdrproc_t>(xdr_Device_SrqParms),
              reinterpret_cast<caddr_t>(&parms),
              reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(xdr_void)), nullptr, none);
}
