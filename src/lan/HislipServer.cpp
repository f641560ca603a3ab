#include "HislipServer.h"

#include <QTimer>
#include <algorithm>

#include "ClientSockets.h"
#include "HislipParts.h"
#include "Listener.h"

namespace {

// What is read of a channel at a time.
constexpr qint64 kHislipReadBuffer = 256 * 1024;
// Connections beyond two per session: room for newcomers to be told that
// every session is taken.
constexpr int kSpareConnections = 4;

} // namespace

HislipServer::HislipServer(QObject* parent)
    : QObject(parent), listener_(new clients::Listener(this)), stallTimer_(new QTimer(this)),
      resumeTimer_(new QTimer(this)) {
    connect(listener_, &clients::Listener::newConnection, this, [this] { accept(); });
    connect(stallTimer_, &QTimer::timeout, this, [this] { dropStalled(); });
    clock_.start();
    resumeTimer_->setSingleShot(true);
    connect(resumeTimer_, &QTimer::timeout, this, [this] { resume(); });
}

HislipServer::~HislipServer() {
    close();
}

void HislipServer::setIdleLimits(clients::Limits limits) {
    limits_ = limits;
    if (stallTimer_->isActive())
        stallTimer_->start(std::max<int>(static_cast<int>(limits_.partialLine.count() / 4), 1));
}

void HislipServer::addDevice(ScpiDevice& device) {
    // A lock given up, through any transport: sessions held off go on.
    connect(&device, &ScpiDevice::accessChanged, this, [this] { resumeTimer_->start(0); });
    devices_.add(device);
}

void HislipServer::removeDevice(ScpiDevice& device) {
    std::vector<Session*> gone;
    for (const auto& s : sessions_)
        if (s->device == &device)
            gone.push_back(s.get());
    for (Session* s : gone)
        dropSession(*s);
    device.disconnect(this);
    devices_.remove(device);
    accesses_.erase(&device);
}

void HislipServer::setAccess(const ScpiDevice& device, std::shared_ptr<Access> access) {
    accesses_[&device] = std::move(access);
}

std::shared_ptr<Access> HislipServer::accessOf(const ScpiDevice& device) const {
    const auto it = accesses_.find(&device);
    return it == accesses_.end() ? nullptr : it->second;
}

bool HislipServer::serves() const {
    return devices_.any();
}

QString HislipServer::deviceName(const ScpiDevice& device) const {
    return devices_.name(device);
}

bool HislipServer::listen(const QList<QHostAddress>& addresses, quint16 port, QString& error) {
    if (!listener_->listen(addresses, port)) {
        error = listener_->errorString();
        return false;
    }
    listener_->setMaxPendingConnections(2 * kMaxSessions);
    stallTimer_->start(std::max<int>(static_cast<int>(limits_.partialLine.count() / 4), 1));
    return true;
}

void HislipServer::close() {
    while (!channels_.empty())
        drop(*channels_.back());
    listener_->close();
    stallTimer_->stop();
    resumeTimer_->stop();
}

bool HislipServer::listening() const {
    return listener_->isListening();
}

quint16 HislipServer::port() const {
    return listener_->serverPort();
}

QStringList HislipServer::sessions() const {
    QStringList names;
    for (const auto& s : sessions_)
        names << s->peer + " " + deviceName(*s->device);
    return names;
}

void HislipServer::accept() {
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        if (door_ && !door_->admits(socket, "HiSLIP"))
            continue;
        if (socket->state() != QAbstractSocket::ConnectedState ||
            (static_cast<int>(channels_.size()) >= 2 * kMaxSessions + kSpareConnections &&
             !freeSession())) {
            clients::Refuse(socket);
            continue;
        }
        auto c = std::make_shared<Channel>();
        c->socket = socket;
        c->address = socket->peerAddress();
        c->peer = clients::PeerName(*socket);
        c->lastByte.start();
        channels_.push_back(c);
        clients::Watch(
            this, socket, kHislipReadBuffer, limits_.keepAlive, c,
            [this](const auto& k) { read(k); }, [this](Channel& k) { drop(k); });
        // A long response goes on as the client takes what was sent.
        connect(socket, &QTcpSocket::bytesWritten, this, [this, weak = std::weak_ptr<Channel>(c)] {
            if (const auto k = weak.lock())
                if (Session* s = sessionOf(*k); s && !s->sending.empty() && s->sync == k.get())
                    sendSome(*s);
        });
    }
}

// Messages as their bytes come, each handled as it completes. A channel
// holding a message back, or sending a response, reads nothing more until it
// is let go.
void HislipServer::read(const ChannelPtr& channel) {
    Channel& c = *channel;
    const auto busy = [this, &c] {
        const Session* s = c.role == Channel::Role::Sync ? sessionOf(c) : nullptr;
        return c.holding || (s && !s->sending.empty());
    };
    if (c.gone || busy())
        return;
    // Idle since the last byte came, not since the last look (a call that
    // waited for a lock is answered without a byte coming).
    if (const QByteArray bytes = c.socket->readAll(); !bytes.isEmpty()) {
        c.lastByte.start();
        c.in += c.tls ? decrypt(c, bytes) : bytes;
        if (c.gone || c.closing)
            return;
    }
    qsizetype at = 0;
    while (!c.gone && !busy() && at < c.in.size()) {
        size_t taken = 0;
        const auto result =
            c.reader.take(c.in.constData() + at, static_cast<size_t>(c.in.size() - at), taken);
        at += static_cast<qsizetype>(taken);
        if (result == hislip::Reader::Result::BadHeader)
            return fatal(c, hislip::BadHeader, "the message does not begin with HS");
        if (result == hislip::Reader::Result::TooLarge)
            refuse(c, hislip::MessageTooLarge, "the message is larger than the server takes");
        else if (result == hislip::Reader::Result::Message)
            dispatch(channel, c.reader.header(), c.reader.payload());
        if (c.tls && c.tlsEnding && !c.gone)
            endTls(c);                  // clear again after the client's close_notify
        if (c.tlsStarting && !c.gone) { // what follows the message is TLS
            c.tlsStarting = false;
            const QByteArray rest = c.in.mid(at);
            c.in.truncate(at);
            c.in += decrypt(c, rest);
            if (c.closing)
                return;
        }
    }
    if (!c.gone)
        c.in.remove(0, at);
    if (!c.gone && c.tls)
        endTls(c); // a close_notify nothing asked for closes the channel
}

void HislipServer::dispatch(const ChannelPtr& c, const hislip::Header& h,
                            const std::string& payload) {
    using Role = Channel::Role;
    if (c->role == Role::New) {
        if (h.type == hislip::Initialize)
            initialize(c, h, payload);
        else if (h.type == hislip::AsyncInitialize)
            initializeAsync(c, h);
        else
            fatal(*c, hislip::InvalidInitialization, "the first message initializes a channel");
        return;
    }
    Session* s = sessionOf(*c);
    if (!s)
        return drop(*c);
    s->lastMessage.start();
    if (h.type == hislip::Initialize || h.type == hislip::AsyncInitialize)
        return fatal(*c, hislip::InvalidInitialization, "the channel is initialized already");
    if (!s->sync || !s->async)
        return fatal(*c, hislip::ChannelsNotEstablished,
                     "the asynchronous channel is not initialized yet");
    if (h.type >= hislip::FirstVendorType)
        return refuse(*c, hislip::UnrecognizedVendorType, "no vendor-defined message is known");
    if (c->role == Role::Sync)
        onSync(*s, h, payload);
    else
        onAsync(*s, h, payload);
}

void HislipServer::send(Channel& c, uint8_t type, uint8_t control, uint32_t parameter,
                        std::string_view payload) {
    if (c.gone || c.closing || !c.socket)
        return;
    write(c, QByteArray::fromStdString(hislip::Encode(type, control, parameter, payload)));
}

void HislipServer::write(Channel& c, const QByteArray& bytes) {
    if (c.gone || c.closing || !c.socket)
        return;
    if (c.tls && c.tls->state() == TlsChannel::State::Handshake) {
        c.beforeTls += bytes; // sent once the handshake is done
    } else if (c.tls && c.tls->state() == TlsChannel::State::Open && !c.tlsEnding) {
        QByteArray wire;
        c.tls->send(std::string_view(bytes.constData(), size_t(bytes.size())), wire);
        c.socket->write(wire);
    } else {
        c.socket->write(bytes);
    }
    c.socket->flush(); // now: the client waits for it
    if (c.socket->bytesToWrite() > kMaxUnread || c.beforeTls.size() > kMaxUnread)
        closeLater(c); // a client that never reads
}

// Closed at the next turn, not under the handler that found it must be.
void HislipServer::closeLater(Channel& c) {
    if (c.closing)
        return;
    c.closing = true;
    for (const auto& k : channels_)
        if (k.get() == &c)
            QTimer::singleShot(0, this, [this, weak = std::weak_ptr<Channel>(k)] {
                if (const auto gone = weak.lock())
                    drop(*gone);
            });
}

// FatalError, then both channels of the session closed once it is written.
void HislipServer::fatal(Channel& c, hislip::FatalCode code, const char* text) {
    send(c, hislip::FatalError, code, 0, text);
    if (c.gone)
        return;
    QTcpSocket* socket = c.socket;
    socket->disconnect(this);
    c.socket = nullptr;
    drop(c);
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(2000, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
}

void HislipServer::refuse(Channel& c, hislip::ErrorCode code, const char* text) {
    send(c, hislip::Error, code, 0, text);
}

void HislipServer::drop(Channel& c) {
    if (c.gone)
        return;
    if (Session* s = sessionOf(c))
        return dropSession(*s);
    c.gone = true;
    const auto it = std::find_if(channels_.begin(), channels_.end(),
                                 [&c](const auto& p) { return p.get() == &c; });
    if (it == channels_.end())
        return;
    const ChannelPtr keep = *it; // alive until the end of this call
    channels_.erase(it);
    if (c.socket) {
        c.socket->disconnect(this);
        c.socket->abort();
        c.socket->deleteLater();
    }
}

void HislipServer::dropSession(Session& s) {
    const auto it = std::find_if(sessions_.begin(), sessions_.end(),
                                 [&s](const auto& p) { return p.get() == &s; });
    if (it == sessions_.end())
        return;
    std::unique_ptr<Session> gone = std::move(*it);
    sessions_.erase(it);
    for (Channel* c : {gone->sync, gone->async})
        if (c)
            drop(*c);
    gone->device->closeLink(*gone->link);
    emit sessionsChanged();
}

// A channel inside a message, or not yet initialized, that sent nothing for
// long is closed; one holding a message back waits for its lock.
void HislipServer::dropStalled() {
    std::vector<Channel*> stalled;
    for (const auto& c : channels_)
        if (!c->holding &&
            (c->role == Channel::Role::New || c->reader.midMessage() ||
             (c->tls && c->tls->state() == TlsChannel::State::Handshake)) &&
            c->lastByte.elapsed() >= limits_.partialLine.count())
            stalled.push_back(c.get());
    for (Channel* c : stalled)
        if (!c->gone)
            drop(*c);
}

// What a newcomer may not take: a session holding a lock or the front
// panel. One that waits has sent nothing since the message it waits with.
bool HislipServer::keeps(const Session& s) const {
    return s.device->holdsLock(*s.link) || s.device->lockHolder() == s.link.get();
}

// The session that sent no message for longest gives way, once that is long enough.
bool HislipServer::freeSession() {
    clients::Idlest<Session> idlest(limits_.takeover);
    for (const auto& s : sessions_)
        if (!keeps(*s))
            idlest.offer(s.get(), s->lastMessage.elapsed());
    if (Session* s = idlest.found()) {
        dropSession(*s);
        return true;
    }
    return false;
}

// Its bytes already read are taken at the next turn, not under the handler
// that let it go.
void HislipServer::readLater(Channel& c) {
    for (const auto& k : channels_)
        if (k.get() == &c)
            QTimer::singleShot(0, this, [this, weak = std::weak_ptr<Channel>(k)] {
                if (const auto alive = weak.lock())
                    read(alive);
            });
}

HislipServer::Session* HislipServer::sessionOf(const Channel& c) const {
    if (c.role == Channel::Role::New)
        return nullptr;
    for (const auto& s : sessions_)
        if (s->id == c.session)
            return s.get();
    return nullptr;
}

// Held messages are tried again: a sync one goes on once no other link's
// lock holds its session off (and its channel reads on); a lock request is
// answered once granted or its time is up. The timer is set for the first
// lock request whose time will be up.
void HislipServer::resume() {
    const auto channels = channels_;
    qint64 next = -1;
    for (const auto& c : channels) {
        Session* s = c->gone || !c->holding ? nullptr : sessionOf(*c);
        if (!s)
            continue;
        if (c->role == Channel::Role::Sync &&
            (s->device->heldOff(*s->link) || s->authAt > clock_.elapsed()))
            continue;
        c->holding = false;
        const hislip::Header h = c->held;
        const std::string payload = std::move(c->heldPayload);
        if (c->role == Channel::Role::Sync)
            onSync(*s, h, payload);
        else
            onLock(*s, h, payload);
        if (c->holding && c->role == Channel::Role::Async) { // still waiting
            const qint64 wait = std::min<qint64>(h.parameter, limits_.lockWait.count());
            const qint64 left = std::max<qint64>(wait - c->heldSince.elapsed(), 0);
            next = next < 0 ? left : std::min(next, left);
        } else if (!c->gone && !c->holding) {
            read(c);
        }
    }
    if (next >= 0 && !resumeTimer_->isActive())
        resumeTimer_->start(static_cast<int>(next + 1));
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_HislipServer.cpp"
