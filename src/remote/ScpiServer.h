// SCPI over a raw TCP socket, a transport of one SCPI device: up to eight
// clients, each a link of the device with its own session, their lines run
// one at a time in arrival order in the program's thread, so each command is
// atomic for the card.
// Slots are not held for ever: a client that stops in the middle of a line
// is closed, and a newcomer finding every slot taken takes the one of the
// client that has run no line for longest, once that is long enough.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "ClientDoor.h"
#include "ClientSockets.h"
#include "ScpiDevice.h"

namespace clients {
class Listener;
}
class QTimer;
class QTcpSocket;

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 8;
    // What a client may leave unread; what is read of a client at a time.
    static constexpr qint64 kMaxUnread = 1024 * 1024;
    static constexpr qint64 kReadBuffer = 256 * 1024;

    // The limits on idle and silent clients (ClientSockets.h); the raw
    // socket's client holding the front panel's lock keeps its slot.
    using IdleLimits = clients::Limits;
    void setIdleLimits(IdleLimits limits);
    // The door newcomers pass (the allow list); none: whoever reaches the port.
    void setDoor(std::shared_ptr<clients::Door> door) { door_ = std::move(door); }

    // `device` outlives the server.
    explicit ScpiServer(ScpiDevice& device, QObject* parent = nullptr);
    ~ScpiServer() override;

    // Listens on each address, all on `port` (0: any free port); false with
    // the reason.
    bool listen(const QList<QHostAddress>& addresses, quint16 port, QString& error);
    bool listen(const QHostAddress& address, quint16 port, QString& error) {
        return listen(QList<QHostAddress>{address}, port, error);
    }
    void close();
    bool listening() const;
    quint16 port() const;
    // Each connected client's address and port ("127.0.0.1:50122").
    QStringList clients() const;

    ScpiDevice& device() { return device_; }

signals:
    void clientConnected(const QString& client);
    void clientDisconnected(const QString& client);

private:
    struct Client;
    void accept();
    // Whether a slot is free, after closing the client whose slot a
    // newcomer may take.
    bool freeSlot();
    // Reads what the client sent; each complete line runs at once.
    void read(const std::shared_ptr<Client>& client);
    // The line runs and its answer leaves; the client may be dropped meanwhile.
    void runLine(Client& client);
    // Closes the client; its object lives on while a read of it holds it.
    void drop(Client& client);
    void dropIdle();
    ScpiDevice& device_;
    clients::Listener* server_;
    QTimer* idleTimer_;
    IdleLimits limits_;
    std::shared_ptr<clients::Door> door_;
    std::vector<std::shared_ptr<Client>> clients_;
};
