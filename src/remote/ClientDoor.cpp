#include "ClientDoor.h"

#include <QTcpSocket>

#include "ClientSockets.h"

namespace clients {

namespace {

// An IPv4 address in IPv6's clothes as IPv4.
QHostAddress Plain(const QHostAddress& address) {
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : address;
}

} // namespace

std::optional<AllowList> AllowList::Parse(const QString& text, QString& error) {
    AllowList list;
    for (const QString& raw : text.split(',', Qt::SkipEmptyParts)) {
        const QString part = raw.trimmed();
        QPair<QHostAddress, int> net = part.contains('/') ? QHostAddress::parseSubnet(part)
                                                          : qMakePair(QHostAddress(part), -1);
        if (net.first.isNull()) {
            error = "'" + part + "' is no address or network (such as 10.1.0.0/16 or ::1)";
            return std::nullopt;
        }
        net.first = Plain(net.first);
        if (net.second < 0)
            net.second = net.first.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
        list.nets_ << net;
    }
    list.text_ = text.trimmed();
    return list;
}

bool AllowList::allows(const QHostAddress& peer) const {
    if (nets_.isEmpty())
        return true;
    const QHostAddress plain = Plain(peer);
    for (const auto& net : nets_)
        if (plain.isInSubnet(net))
            return true;
    return false;
}

bool Door::admits(const QHostAddress& peer, quint16 port, const QString& transport) {
    if (allow.allows(peer))
        return true;
    ++refusedCount;
    if (refused) {
        const QHostAddress plain = Plain(peer);
        const QString host = plain.protocol() == QAbstractSocket::IPv6Protocol
                                 ? "[" + plain.toString() + "]"
                                 : plain.toString();
        refused(host + ":" + QString::number(port), transport, "not on the allow list");
    }
    return false;
}

bool Door::admits(QTcpSocket* socket, const QString& transport) {
    if (admits(socket->peerAddress(), socket->peerPort(), transport))
        return true;
    Refuse(socket);
    return false;
}

} // namespace clients
