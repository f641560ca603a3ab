#include "ScpiServer.h"

#include "Listener.h"
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <optional>

#include "ClientSockets.h"
#include "LineReader.h"

// One connection: its session, and the line it is sending, read as it comes.
struct ScpiServer::Client {
    QTcpSocket* socket = nullptr;
    QString name;
    std::unique_ptr<scpi::Session> session;
    scpi::LineReader reader;
    QElapsedTimer lastByte; // since the last byte came
    QElapsedTimer lastLine; // since the last line ran (or it connected)
    bool gone = false;      // dropped: nothing more is read or written
};

ScpiServer::ScpiServer(ScpiDevice& device, QObject* parent)
    : QObject(parent), device_(device), server_(new clients::Listener(this)),
      idleTimer_(new QTimer(this)) {
    server_->setMaxPendingConnections(kMaxClients);
    connect(server_, &clients::Listener::newConnection, this, [this] { accept(); });
    connect(idleTimer_, &QTimer::timeout, this, [this] { dropIdle(); });
    setIdleLimits(limits_);
}

void ScpiServer::setIdleLimits(IdleLimits limits) {
    limits_ = limits;
    idleTimer_->start(std::max<qint64>(limits.partialLine.count() / 4, 1));
}

ScpiServer::~ScpiServer() {
    close();
}

bool ScpiServer::listen(const QList<QHostAddress>& addresses, quint16 port, QString& error) {
    if (server_->listen(addresses, port))
        return true;
    error = server_->errorString();
    return false;
}

void ScpiServer::close() {
    server_->close();
    while (!clients_.empty())
        drop(*clients_.back());
}

bool ScpiServer::listening() const {
    return server_->isListening();
}

quint16 ScpiServer::port() const {
    return server_->serverPort();
}

QStringList ScpiServer::clients() const {
    QStringList names;
    for (const auto& c : clients_)
        names << c->name;
    return names;
}

void ScpiServer::accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (door_ && !door_->admits(socket, "raw socket"))
            continue;
        // One that left before it was taken, or the ninth: closed at once,
        // nothing read.
        if (socket->state() != QAbstractSocket::ConnectedState || socket->peerAddress().isNull() ||
            !freeSlot()) {
            clients::Refuse(socket);
            continue;
        }
        auto client = std::make_shared<Client>();
        client->socket = socket;
        client->name = clients::PeerName(*socket);
        client->session = device_.openLink(client->name);
        client->lastByte.start();
        client->lastLine.start();
        clients_.push_back(client);
        // Answers leave at once: a client waits for each before it asks again.
        clients::Watch(
            this, socket, kReadBuffer, limits_.keepAlive, client,
            [this](const auto& c) { read(c); }, [this](Client& c) { drop(c); });
        emit clientConnected(client->name);
    }
}

bool ScpiServer::freeSlot() {
    if (static_cast<int>(clients_.size()) < kMaxClients)
        return true;
    clients::Idlest<Client> idlest(limits_.takeover);
    for (const auto& c : clients_)
        if (c->session.get() != device_.lockHolder())
            idlest.offer(c.get(), c->lastLine.elapsed());
    if (Client* c = idlest.found()) {
        drop(*c);
        return true;
    }
    return false;
}

void ScpiServer::dropIdle() {
    std::vector<Client*> stalled;
    for (const auto& c : clients_)
        if (c->reader.midLine() && c->lastByte.elapsed() >= limits_.partialLine.count())
            stalled.push_back(c.get());
    for (Client* c : stalled)
        drop(*c);
}

void ScpiServer::drop(Client& c) {
    if (c.gone)
        return;
    c.gone = true;
    const auto it = std::find_if(clients_.begin(), clients_.end(),
                                 [&c](const auto& p) { return p.get() == &c; });
    if (it == clients_.end())
        return;
    const std::shared_ptr<Client> keep = *it; // alive until the end of this call at least
    device_.closeLink(*c.session);            // a client that leaves gives the front panel back
    clients_.erase(it);                       // what it was sending is forgotten
    c.socket->disconnect(this);
    c.socket->abort();
    c.socket->deleteLater();
    emit clientDisconnected(c.name);
}

// Text, strings and blocks as they come; each line runs at its end. The
// client may be dropped by anything that runs or writes: `client` keeps its
// object alive, and nothing more is done once it is gone.
void ScpiServer::read(const std::shared_ptr<Client>& client) {
    Client& c = *client;
    const QByteArray data = c.socket->readAll();
    c.lastByte.start();
    const size_t size = static_cast<size_t>(data.size());
    for (size_t i = 0; i < size && !c.gone;) {
        size_t taken = 0;
        const auto result = c.reader.take(data.constData() + i, size - i, taken);
        i += taken;
        if (result == scpi::LineReader::Result::Refused) {
            c.session->error(scpi::TooMuchData, c.reader.refusal());
        } else if (result == scpi::LineReader::Result::Line) {
            runLine(c);
        }
    }
}

void ScpiServer::runLine(Client& c) {
    const std::string answer = device_.run(*c.session, c.reader.line());
    c.lastLine.start();
    if (c.gone || answer.empty())
        return;
    c.socket->write(QByteArray::fromStdString(answer) + '\n');
    c.socket->flush(); // now, not at the event loop's next turn: this may drop it
    if (!c.gone && c.socket->bytesToWrite() > kMaxUnread)
        drop(c); // a client that never reads its answers
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_ScpiServer.cpp"
