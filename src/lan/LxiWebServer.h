// The LXI identification document (/lxi/identification, the XML that LXI
// instruments answer) and a welcome page (/) over HTTP, served by
// libmicrohttpd in the program's thread: its sockets are watched by the
// event loop, so a page is built from the card as it is, and a slow client
// delays nobody. Only GET and HEAD of those two addresses are answered.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <functional>

class QSocketNotifier;
class QTimer;
struct MHD_Daemon;

// What the pages say of the instrument served.
struct LxiPage {
    QString manufacturer, model, serial, firmware, description;
    QString hostName;
    QStringList addresses; // the IPv4 addresses clients reach it at
    QStringList resources; // each VISA resource string a client can open
    QString status;        // what each channel holds, as the window's strip says it
};

class Card;

// The addresses clients reach a server listening on `address` at: that one,
// or each of this computer's IPv4 addresses when it listens on all.
QStringList HostsReaching(const QHostAddress& address);

// The pages of `card`, reached at `addresses` through `resources`.
LxiPage LxiPageOf(const Card& card, const QStringList& addresses, const QStringList& resources);

class LxiWebServer : public QObject {
    Q_OBJECT
public:
    explicit LxiWebServer(std::function<LxiPage()> page, QObject* parent = nullptr);
    ~LxiWebServer() override;

    // Listens on `address`:`port` (0: any free port); false with the reason.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    void close();
    bool listening() const { return daemon_ != nullptr; }
    quint16 port() const { return port_; }

    // The documents, as served (`self`: the identification document's own URL).
    static QByteArray IdentificationXml(const LxiPage& page, const QString& self);
    static QByteArray WelcomeHtml(const LxiPage& page);

    // The answer to a request: status, content type and body.
    struct Reply {
        unsigned status;
        const char* type;
        QByteArray body;
    };
    Reply answer(const QString& method, const QString& path, const QString& host) const;

private:
    void serve();

    std::function<LxiPage()> page_;
    MHD_Daemon* daemon_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_;
    quint16 port_ = 0;
};
