#include "Listener.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace clients {

Listener::Listener(QObject* parent) : QObject(parent) {}

bool Listener::listen(const QList<QHostAddress>& addresses, quint16 port) {
    close();
    for (const QHostAddress& address : addresses) {
        auto* server = new QTcpServer(this);
        server->setMaxPendingConnections(maxPending_);
        if (!server->listen(address, servers_.isEmpty() ? port : serverPort())) {
            error_ = addresses.size() > 1 ? address.toString() + ": " + server->errorString()
                                          : server->errorString();
            delete server;
            close();
            return false;
        }
        connect(server, &QTcpServer::newConnection, this, &Listener::newConnection);
        servers_ << server;
    }
    if (servers_.isEmpty())
        error_ = "no address to listen on";
    return !servers_.isEmpty();
}

void Listener::close() {
    qDeleteAll(servers_); // what waited in their queues goes with them
    servers_.clear();
}

quint16 Listener::serverPort() const {
    return servers_.isEmpty() ? 0 : servers_.front()->serverPort();
}

QList<QHostAddress> Listener::addresses() const {
    QList<QHostAddress> all;
    for (const QTcpServer* s : servers_)
        all << s->serverAddress();
    return all;
}

void Listener::setMaxPendingConnections(int count) {
    maxPending_ = count;
    for (QTcpServer* s : servers_)
        s->setMaxPendingConnections(count);
}

QTcpSocket* Listener::nextPendingConnection() {
    for (QTcpServer* s : servers_)
        if (QTcpSocket* socket = s->nextPendingConnection()) {
            socket->setParent(this); // it outlives its listening socket's close
            return socket;
        }
    return nullptr;
}

} // namespace clients

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Listener.cpp"
