// Who may connect to the program's servers: an allow list of client
// addresses and networks, and the door every server's listener passes each
// newcomer through (refused ones are said, counted and closed at once).
#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <optional>

class QTcpSocket;

namespace clients {

class AllowList {
public:
    // "127.0.0.1,10.1.0.0/16,::1": addresses and networks (CIDR), IPv4 and
    // IPv6; nothing when a part is none (`error` says which).
    static std::optional<AllowList> Parse(const QString& text, QString& error);
    // Whether `peer` is on the list; an empty list allows everyone. An IPv4
    // peer seen through an IPv6 socket (::ffff:10.1.2.3) counts as IPv4.
    bool allows(const QHostAddress& peer) const;
    bool empty() const { return nets_.isEmpty(); }
    QString text() const { return text_; }

private:
    QList<QPair<QHostAddress, int>> nets_;
    QString text_;
};

struct Door {
    AllowList allow;
    // A newcomer turned away: its address and port, the transport, why.
    std::function<void(const QString& peer, const QString& transport, const QString& why)> refused;
    int refusedCount = 0;

    // Whether `peer` may come in over `transport`; if not, it is said and counted.
    bool admits(const QHostAddress& peer, quint16 port, const QString& transport);
    // The same for a socket; a refused one is closed at once.
    bool admits(QTcpSocket* socket, const QString& transport);
};

} // namespace clients
