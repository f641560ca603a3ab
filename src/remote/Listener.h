// A server's listening sockets: one on each address it serves (IPv4 and
// IPv6 alike), all on one port, the first's (or the one asked for); the
// newcomers of all of them come out of one queue, as of one QTcpServer.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace clients {

class Listener : public QObject {
    Q_OBJECT
public:
    explicit Listener(QObject* parent = nullptr);

    // Listens on each address, all on `port` (0: the port the first gets);
    // false, none listening, with errorString(), when any cannot.
    bool listen(const QList<QHostAddress>& addresses, quint16 port);
    bool listen(const QHostAddress& address, quint16 port) {
        return listen(QList<QHostAddress>{address}, port);
    }
    void close();
    bool isListening() const { return !servers_.isEmpty(); }
    quint16 serverPort() const;
    QString errorString() const { return error_; }
    QList<QHostAddress> addresses() const;
    // Newcomers waiting on each address at most.
    void setMaxPendingConnections(int count);
    // The next newcomer of any address; null when none waits.
    QTcpSocket* nextPendingConnection();

signals:
    void newConnection();

private:
    QList<QTcpServer*> servers_;
    QString error_;
    int maxPending_ = 30;
};

} // namespace clients
