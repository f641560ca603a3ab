#include "ScpiServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

#include "CardCommands.h"
#include "FileCommands.h"

// One connection: its session, and the line it is sending, read as it comes.
struct ScpiServer::Client {
    QTcpSocket* socket = nullptr;
    QString name;
    std::unique_ptr<scpi::Session> session;
    QByteArray line;         // the line so far, blocks included
    qsizetype text = 0;      // its characters outside blocks
    qint64 blockLeft = 0;    // bytes of a block still to come into `line`
    qint64 skipLeft = 0;     // bytes of a refused block still to skip
    QByteArray blockHeader;  // "#", its digit count, its length digits, as they come
    char quote = 0;          // inside a string
    bool discarding = false; // a line refused: skipped up to its LF

    void reset() {
        line.clear();
        text = 0;
        quote = 0;
        blockHeader.clear();
    }
    // A character of a block's header: "#", its digit count, its length.
    void takeBlockHeader(char ch) {
        blockHeader.append(ch);
        const int digits = blockHeader[1] - '0';
        if (blockHeader.size() == 2 && (digits < 1 || digits > 9)) {
            line.append(blockHeader); // #H, #Q, #B or #0: text for the reader
            text += 2;
            blockHeader.clear();
        } else if (blockHeader.size() == 2 + digits) {
            const qint64 length = blockHeader.mid(2).toLongLong();
            if (length > kMaxBlock) {
                session->error(scpi::TooMuchData, "a block longer than the wave memory");
                skipLeft = length;
                discarding = true;
                reset();
            } else {
                line.append(blockHeader);
                blockLeft = length;
                blockHeader.clear();
            }
        }
    }
    // A character of the line outside blocks, strings followed.
    void takeText(char ch) {
        if (quote) {
            if (ch == quote)
                quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        } else if (ch == '#') {
            blockHeader = "#";
            return;
        }
        line.append(ch);
        if (++text > kMaxLine) {
            session->error(scpi::TooMuchData, "a line longer than 64 kB");
            discarding = true;
            reset();
        }
    }
};

ScpiServer::ScpiServer(std::function<Card*()> card, std::function<scpi::Identity()> identity,
                       QObject* parent)
    : QObject(parent), card_(std::move(card)), identity_(std::move(identity)),
      server_(new QTcpServer(this)) {
    server_->setMaxPendingConnections(kMaxClients);
    connect(server_, &QTcpServer::newConnection, this, [this] { accept(); });
}

ScpiServer::~ScpiServer() {
    close();
}

bool ScpiServer::listen(const QHostAddress& address, quint16 port, QString& error) {
    if (server_->listen(address, port))
        return true;
    error = server_->errorString();
    return false;
}

void ScpiServer::close() {
    server_->close();
    while (!clients_.empty())
        drop(clients_.back()->socket);
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

void ScpiServer::setFilesFolder(const QString& folder) {
    folder_ = folder;
}

QString ScpiServer::filesFolder() const {
    return folder_;
}

QString ScpiServer::lockHolder() const {
    return lockHolder_ ? lockHolder_->name : QString();
}

void ScpiServer::unlock() {
    setLock(nullptr);
}

void ScpiServer::setLock(const Client* holder) {
    if (holder == lockHolder_)
        return;
    lockHolder_ = holder;
    emit lockChanged();
}

// SYSTem:RWLock locks the front panel out for this client; SYSTem:LOCal
// and SYSTem:REMote give it back (remote commands go on being taken).
void ScpiServer::addSystemCommands(Client& client) {
    scpi::Session& s = *client.session;
    const Client* c = &client;
    s.add("SYSTem:RWLock", false, 0, [this, c](const scpi::Unit&, int, auto&) { setLock(c); });
    for (const char* header : {"SYSTem:LOCal", "SYSTem:REMote"})
        s.add(header, false, 0, [this](const scpi::Unit&, int, auto&) { setLock(nullptr); });
}

void ScpiServer::accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (static_cast<int>(clients_.size()) >= kMaxClients) {
            socket->abort(); // the ninth: closed at once, nothing read
            socket->deleteLater();
            continue;
        }
        // Answers leave at once: a client waits for each before it asks again.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->name = socket->peerAddress().toString() + ":" + QString::number(socket->peerPort());
        client->session = std::make_unique<scpi::Session>(identity_);
        scpi::AddCardCommands(*client->session, card_);
        scpi::AddFileCommands(*client->session, card_, [this] { return folder_; });
        addSystemCommands(*client);
        Client* c = client.get();
        clients_.push_back(std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { read(*c); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        emit clientConnected(c->name);
    }
}

void ScpiServer::drop(QTcpSocket* socket) {
    const auto it = std::find_if(clients_.begin(), clients_.end(),
                                 [socket](const auto& c) { return c->socket == socket; });
    if (it == clients_.end())
        return;
    const QString name = (*it)->name;
    if (lockHolder_ == it->get())
        setLock(nullptr); // a client that leaves gives the front panel back
    clients_.erase(it);   // what it was sending is forgotten
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    emit clientDisconnected(name);
}

void ScpiServer::read(Client& c) {
    const QByteArray data = c.socket->readAll();
    qsizetype i = 0;
    const qsizetype n = data.size();
    // Text, strings and blocks as they come: a block's bytes are taken by
    // count (they may hold LF), the line runs at the LF after it.
    bool ran = false;
    while (i < n) {
        if (c.skipLeft > 0 || c.blockLeft > 0) { // bytes of a block, taken by count
            const qint64 k = std::min<qint64>(std::max(c.skipLeft, c.blockLeft), n - i);
            if (c.blockLeft > 0) {
                c.line.append(data.constData() + i, k);
                c.blockLeft -= k;
            } else {
                c.skipLeft -= k;
            }
            i += k;
            continue;
        }
        const char ch = data[i++];
        if (ch == '\n') {
            ran = ran || !c.discarding;
            if (!endLine(c)) {
                emit linesRan();
                return; // dropped
            }
        } else if (c.discarding) {
            continue;
        } else if (!c.blockHeader.isEmpty()) {
            c.takeBlockHeader(ch);
        } else {
            c.takeText(ch);
        }
    }
    if (ran)
        emit linesRan();
}

bool ScpiServer::endLine(Client& c) {
    QTcpSocket* socket = c.socket;
    if (!c.discarding) {
        c.line.append(c.blockHeader);
        if (c.line.endsWith('\r'))
            c.line.chop(1);
        const std::string answer = c.session->handle(
            std::string_view(c.line.constData(), static_cast<size_t>(c.line.size())));
        if (!answer.empty()) {
            socket->write(QByteArray::fromStdString(answer) + '\n');
            socket->flush(); // now, not at the event loop's next turn
        }
    }
    c.discarding = false;
    c.reset();
    if (socket->bytesToWrite() <= kMaxUnread)
        return true;
    drop(socket); // a client that never reads its answers
    return false;
}
