// SCPI over a raw TCP socket: up to eight clients, each with its own session
// (error queue, status registers), their lines run one at a time in arrival
// order in the program's thread, so each command is atomic for the card.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "Card.h"
#include "ScpiSession.h"

class QTcpServer;
class QTcpSocket;

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 8;
    // A line's text outside blocks; a block's bytes (a full wave memory of
    // 16-bit samples); what a client may leave unread.
    static constexpr qsizetype kMaxLine = 64 * 1024;
    static constexpr qsizetype kMaxBlock = 2 * 262144;
    static constexpr qint64 kMaxUnread = 1024 * 1024;

    ScpiServer(std::function<Card*()> card, std::function<scpi::Identity()> identity,
               QObject* parent = nullptr);
    ~ScpiServer() override;

    // Listens on `address`:`port` (0: any free port); false with the reason.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    void close();
    bool listening() const;
    quint16 port() const;
    // Each connected client's address and port ("127.0.0.1:50122").
    QStringList clients() const;

    // The folder MMEMory's file names are in; empty: none.
    void setFilesFolder(const QString& folder);
    QString filesFolder() const;

    // The client that locked the front panel out (SYSTem:RWLock), until it
    // sends SYSTem:LOCal or SYSTem:REMote, disconnects, or unlock() (the
    // operator's Local button); empty when none.
    QString lockHolder() const;
    void unlock();

signals:
    void clientConnected(const QString& client);
    void clientDisconnected(const QString& client);
    // A client's lines ran (after the last of what it sent at once).
    void linesRan();
    // The front panel was locked out or given back (lockHolder()).
    void lockChanged();

private:
    struct Client;
    void accept();
    // Reads what the client sent; each complete line runs at once.
    void read(Client& client);
    // The line ended: it runs and its answer leaves; false when the client
    // was dropped for leaving too much unread.
    bool endLine(Client& client);
    void drop(QTcpSocket* socket);
    void addSystemCommands(Client& client);
    void setLock(const Client* holder);

    std::function<Card*()> card_;
    std::function<scpi::Identity()> identity_;
    QTcpServer* server_;
    std::vector<std::unique_ptr<Client>> clients_;
    QString folder_;
    const Client* lockHolder_ = nullptr;
};
