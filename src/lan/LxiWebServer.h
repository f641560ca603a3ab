// The LXI identification document (/lxi/identification, the XML that LXI
// instruments answer, with its schema at /lxi/identification.xsd) and a
// welcome page (/) over HTTP, served by libmicrohttpd in the program's
// thread: its sockets are watched by the event loop, so a page is built from
// the card as it is, and a slow client delays nobody. Only GET and HEAD are
// answered (405 otherwise). Bounded: connections in all and per client
// address, the memory of each, how long one may idle, and how long a
// request may take to arrive.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "ClientDoor.h"
#include "TlsIdentity.h"

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
    QStringList security;  // what is secured and how, one sentence each; empty: nothing
};

class Card;

// What a web server answers beyond its own pages (the web front panel):
// requests of the paths it handles, their bodies collected up to its bound,
// and event streams the server keeps open, to which it pushes events.
class WebApp : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString method, path, host, origin, peer;
        QByteArray cookie, token, body;
        QMap<QString, QString> query; // "?format=csv&pick=2": the URL's arguments
        bool secure = false;
    };
    struct Reply {
        unsigned status = 200;
        QByteArray type = "application/json";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        bool events = false; // an event stream: `body` its first event, the rest pushed
    };
    using QObject::QObject;
    virtual bool handles(const QString& path) const = 0;
    // The largest body a request of `path` may carry (beyond it: 413, nothing done).
    virtual qsizetype maxBody(const QString& path) const = 0;
    virtual Reply answer(const Request& request) = 0;

signals:
    // An event for every open stream ("data: ...\n\n").
    void pushed(const QByteArray& event);
};

// The addresses clients reach a server listening on `address` at: that one,
// or each of this computer's addresses of the family it listens on all of
// (IPv6's link-local ones left out).
QStringList HostsReaching(const QHostAddress& address);

// The pages of `card`, reached at `addresses` through `resources`.
LxiPage LxiPageOf(const Card& card, const QStringList& addresses, const QStringList& resources);

class LxiWebServer : public QObject {
    Q_OBJECT
public:
    // Room for every page a test station keeps open (each holds its event
    // stream), and no address more than a quarter of it.
    static constexpr unsigned kMaxConnections = 256;
    static constexpr unsigned kPerAddress = 64;
    static constexpr unsigned kIdleSeconds = 10;
    static constexpr std::chrono::seconds kRequestTime{10};
    // The version of the LXI device standard whose identification
    // document this is.
    static constexpr const char* kLxiVersion = "1.5";

    explicit LxiWebServer(std::function<LxiPage()> page, QObject* parent = nullptr);
    ~LxiWebServer() override;

    // The door newcomers pass (the allow list); none: whoever reaches the port.
    void setDoor(std::shared_ptr<clients::Door> door) { door_ = std::move(door); }

    // Serves over HTTPS (TLS 1.2 and 1.3, GnuTLS through libmicrohttpd)
    // with this certificate; before listen().
    void setTls(const TlsIdentity& identity) {
        tlsCertificate_ = identity.certificate;
        tlsKey_ = identity.key;
    }
    bool secure() const { return !tlsKey_.isEmpty(); }
    // The front panel beside the pages; `app` outlives the server.
    void setApp(WebApp* app);
    // The event streams open now.
    int streams() const { return static_cast<int>(streams_.size()); }
    // What a stream may have waiting unread before it is dropped.
    static constexpr qsizetype kMaxStreamBacklog = 256 * 1024;

    // How long a request may take to arrive, headers and body (shorter in tests).
    void setRequestTime(std::chrono::milliseconds time) { requestTime_ = time; }

    // Listens on `address`:`port` (0: any free port); false with the reason.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    void close();
    bool listening() const { return daemon_ != nullptr; }
    quint16 port() const { return port_; }

    // The documents, as served: `base` is the server's own URL as the client
    // reached it ("http://192.0.2.10:8080"), `first` the address it came
    // to, whose interface is listed first.
    static QByteArray IdentificationXml(const LxiPage& page, const QString& base,
                                        const QString& first = {});
    // `panels`: each card's web front panel served in this process (its
    // name and address), listed when there are several.
    struct PanelLink {
        QString name, url;
        bool here = false; // this server's own
    };
    static QByteArray WelcomeHtml(const LxiPage& page, const QList<PanelLink>& panels = {});

    // The answer to a request: status, content type and body.
    struct Reply {
        unsigned status;
        const char* type;
        QByteArray body;
    };
    // Each card's web front panel served in this process, reached at `host`
    // (the request's, without its port).
    QList<PanelLink> panelsServed(const QString& host) const;
    // `local`: the address the request came to.
    Reply answer(const QString& method, const QString& path, const QString& host,
                 const QString& local = {}) const;

    // libmicrohttpd's calls, with the server.
    struct Calls;
    struct Stream;

private:
    void serve();
    void cutSlowRequests();

    std::function<LxiPage()> page_;
    std::shared_ptr<clients::Door> door_;
    MHD_Daemon* daemon_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_;
    QTimer* deadline_; // requests that take too long to arrive are cut
    quint16 port_ = 0;
    std::chrono::milliseconds requestTime_ = kRequestTime;
    QByteArray tlsCertificate_, tlsKey_; // PEM, kept while the daemon runs (it reads them)
    // Each connection's socket, and since when its request has been
    // arriving (invalid once it has arrived).
    struct Arriving {
        int fd = -1;
        QElapsedTimer since;
    };
    std::map<const void*, Arriving> arriving_;
    WebApp* app_ = nullptr;
    std::map<const void*, std::shared_ptr<Stream>> streams_; // by connection
    void push(const QByteArray& event);
    struct MHD_Response* openStream(struct MHD_Connection* connection, const QByteArray& first);
};
