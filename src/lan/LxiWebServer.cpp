#include "LxiWebServer.h"

#include <QFile>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <QXmlStreamWriter>
#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "ClientSockets.h"
#include "LxiSchema.h"

namespace {

// The mark of a request of the server's own pages (one of the front panel's
// carries its body instead).
int announcedMark;
void* const kAnnounced = &announcedMark;

// A front panel request's body, as it comes.
struct AppBody {
    QByteArray body;
    qsizetype limit = 0;
    bool tooLarge = false;
    bool answered = false; // refused as it came: the rest is read and dropped
};

QByteArray HeaderOf(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? QByteArray(value) : QByteArray();
}

// One of the URL's arguments, into the request's map (an argument without a value: "").
MHD_Result TakeArgument(void* query, MHD_ValueKind, const char* key, const char* value) {
    static_cast<QMap<QString, QString>*>(query)->insert(QString::fromUtf8(key),
                                                        QString::fromUtf8(value ? value : ""));
    return MHD_YES;
}

// Every server of this process with a front panel, listening.
std::vector<const LxiWebServer*>& PanelServers() {
    static std::vector<const LxiWebServer*> servers;
    return servers;
}

// The host of a Host header ("192.0.2.7:8080", "[::1]:8080", "bench7"), or
// `local` when the header names none a link may carry.
QString HostOnly(const QString& host, const QString& local) {
    static const QRegularExpression named(R"(^(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.-]+)(:[0-9]+)?$)");
    const auto m = named.match(host);
    if (m.hasMatch())
        return m.captured(1);
    return local.contains(':') ? "[" + local + "]" : local;
}

constexpr const char* kLxiNamespace = "http://www.lxistandard.org/InstrumentIdentification/1.0";
constexpr const char* kSecurityNamespace = "urn:nv815-panel:security";
constexpr const char* kInstanceNamespace = "http://www.w3.org/2001/XMLSchema-instance";
constexpr const char* kSchemaPath = "/lxi/identification.xsd";

// The address a connection's socket was reached at.
QString LocalAddress(int fd) {
    sockaddr_storage a{};
    socklen_t length = sizeof a;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return {};
    QHostAddress address(reinterpret_cast<sockaddr*>(&a));
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : address.toString();
}

// What is known of the interface holding `address`: its name, mask and
// hardware address, and the gateway of its default route (0.0.0.0: none).
struct InterfaceFacts {
    QString name = "lo", mask = "255.0.0.0", mac = "00:00:00:00:00:00", gateway = "0.0.0.0";
};

InterfaceFacts FactsOf(const QString& address) {
    InterfaceFacts facts;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (e.ip().toString() == address) {
                facts.name = i.name();
                facts.mask = e.netmask().toString();
                if (!i.hardwareAddress().isEmpty())
                    facts.mac = i.hardwareAddress();
            }
    QFile routes("/proc/net/route"); // interface, destination, gateway (hex, host order)
    if (routes.open(QIODevice::ReadOnly))
        for (const QByteArray& line : routes.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() > 2 && f[0] == facts.name.toUtf8() && f[1] == "00000000") {
                bool ok = false;
                const quint32 gateway = f[2].toUInt(&ok, 16);
                if (ok)
                    facts.gateway = QHostAddress(ntohl(gateway))
                                        .toString(); // the kernel writes it as in memory
            }
        }
    return facts;
}

} // namespace

// libmicrohttpd's calls: each request answered whole once it has arrived
// (a body, which nothing here takes, is read and dropped first); each
// connection's start and end, and each request's end, noted for the
// request deadline.
// An open event stream: what waits for its reader, and whether it waits for more.
struct LxiWebServer::Stream {
    LxiWebServer* server;
    MHD_Connection* connection;
    QByteArray pending;
    bool suspended = false;
    bool dropped = false; // it read too slowly: closed
};

struct LxiWebServer::Calls {
    // A newcomer the door turns away is closed before anything is read.
    static MHD_Result Admit(void* self, const sockaddr* address, socklen_t) {
        auto* server = static_cast<LxiWebServer*>(self);
        if (!server->door_ || !address)
            return MHD_YES;
        QHostAddress peer(address);
        quint16 port = 0;
        if (address->sa_family == AF_INET)
            port = ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
        else if (address->sa_family == AF_INET6)
            port = ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
        return server->door_->admits(peer, port, server->secure() ? "HTTPS" : "HTTP") ? MHD_YES
                                                                                      : MHD_NO;
    }
    static MHD_Result Access(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char* upload,
                             size_t* uploadSize, void** state) {
        auto* server = static_cast<LxiWebServer*>(self);
        if (!*state) { // the request has arrived; its body may follow
            if (const auto it = server->arriving_.find(connection); it != server->arriving_.end())
                it->second.since.invalidate();
            const QString path = QString::fromUtf8(url);
            if (server->app_ && server->app_->handles(path)) {
                auto* body = new AppBody;
                body->limit = server->app_->maxBody(path);
                *state = body;
                // A body said to be beyond the bound is refused before it comes.
                bool number = false;
                const qint64 length = HeaderOf(connection, "Content-Length").toLongLong(&number);
                if (number && length > body->limit) {
                    body->tooLarge = body->answered = true;
                    return Refuse(connection);
                }
            } else {
                *state = kAnnounced;
            }
            return MHD_YES;
        }
        if (*state != kAnnounced)
            return AppAccess(server, connection, url, method, upload, uploadSize,
                             static_cast<AppBody*>(*state));
        if (*uploadSize != 0) {
            *uploadSize = 0;
            return MHD_YES;
        }
        const char* host = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Host");
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        const Reply reply = server->answer(QString::fromLatin1(method), QString::fromUtf8(url),
                                           QString::fromLatin1(host ? host : ""),
                                           LocalAddress(info ? info->connect_fd : -1));
        MHD_Response* response = MHD_create_response_from_buffer(
            static_cast<size_t>(reply.body.size()), const_cast<char*>(reply.body.constData()),
            MHD_RESPMEM_MUST_COPY);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        if (reply.status == MHD_HTTP_METHOD_NOT_ALLOWED)
            MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
        const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
        MHD_destroy_response(response);
        return queued;
    }
    // A front panel request: its body kept up to the bound, then answered
    // (an event stream stays open; the server pushes to it).
    static MHD_Result AppAccess(LxiWebServer* server, MHD_Connection* connection, const char* url,
                                const char* method, const char* upload, size_t* uploadSize,
                                AppBody* body) {
        if (*uploadSize != 0) {
            if (!body->tooLarge && body->body.size() + qsizetype(*uploadSize) > body->limit) {
                body->tooLarge = true;
                body->body.clear();
                body->body.squeeze();
            }
            if (!body->tooLarge)
                body->body.append(upload, qsizetype(*uploadSize));
            *uploadSize = 0;
            if (body->tooLarge && !body->answered) { // said at once; the connection then ends
                body->answered = true;
                return Refuse(connection);
            }
            return MHD_YES;
        }
        if (body->answered)
            return MHD_YES;
        WebApp::Request request;
        request.method = QString::fromLatin1(method);
        request.path = QString::fromUtf8(url);
        request.host = QString::fromLatin1(HeaderOf(connection, "Host"));
        request.origin = QString::fromLatin1(HeaderOf(connection, "Origin"));
        request.cookie = HeaderOf(connection, "Cookie");
        request.token = HeaderOf(connection, "X-CSRF-Token");
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, TakeArgument, &request.query);
        request.body = std::move(body->body);
        request.secure = server->secure();
        if (const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
            const QHostAddress peer(info->client_addr);
            quint16 port = 0;
            if (info->client_addr->sa_family == AF_INET)
                port = ntohs(reinterpret_cast<const sockaddr_in*>(info->client_addr)->sin_port);
            else if (info->client_addr->sa_family == AF_INET6)
                port = ntohs(reinterpret_cast<const sockaddr_in6*>(info->client_addr)->sin6_port);
            request.peer = peer.toString() + ":" + QString::number(port);
        }
        WebApp::Reply reply;
        if (body->tooLarge) {
            reply.status = MHD_HTTP_CONTENT_TOO_LARGE;
            reply.body = R"({"error":"the request is larger than this server takes"})";
        } else
            reply = server->app_->answer(request);
        MHD_Response* response =
            reply.events
                ? server->openStream(connection, reply.body)
                : MHD_create_response_from_buffer(size_t(reply.body.size()),
                                                  const_cast<char*>(reply.body.constData()),
                                                  MHD_RESPMEM_MUST_COPY);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type.constData());
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : reply.headers)
            MHD_add_response_header(response, name.constData(), value.constData());
        const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
        MHD_destroy_response(response);
        return queued;
    }
    static MHD_Result Refuse(MHD_Connection* connection) {
        static const char text[] = R"({"error":"the request is larger than this server takes"})";
        MHD_Response* response = MHD_create_response_from_buffer(
            sizeof text - 1, const_cast<char*>(text), MHD_RESPMEM_PERSISTENT);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        const MHD_Result queued =
            MHD_queue_response(connection, MHD_HTTP_CONTENT_TOO_LARGE, response);
        MHD_destroy_response(response);
        return queued;
    }
    static ssize_t ReadStream(void* self, uint64_t, char* buffer, size_t most) {
        auto* stream = static_cast<Stream*>(self);
        if (stream->dropped)
            return MHD_CONTENT_READER_END_WITH_ERROR;
        if (stream->pending.isEmpty()) { // waits, off the event loop, for the next push
            MHD_suspend_connection(stream->connection);
            stream->suspended = true;
            return 0;
        }
        const size_t n = std::min(most, size_t(stream->pending.size()));
        memcpy(buffer, stream->pending.constData(), n);
        stream->pending.remove(0, qsizetype(n));
        return ssize_t(n);
    }
    static void StreamEnded(void* self) {
        auto* stream = static_cast<Stream*>(self);
        stream->server->streams_.erase(stream->connection);
    }
    static void Connection(void* self, MHD_Connection* connection, void**,
                           MHD_ConnectionNotificationCode code) {
        auto* server = static_cast<LxiWebServer*>(self);
        if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            server->arriving_.erase(connection);
            return;
        }
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        Arriving& a = server->arriving_[connection];
        a.fd = info ? info->connect_fd : -1;
        a.since.start();
        clients::SetKeepAlive(a.fd, clients::KeepAlive());
    }
    // A connection kept open for another request: that one arrives from now.
    static void Completed(void* self, MHD_Connection* connection, void** state,
                          MHD_RequestTerminationCode) {
        auto* server = static_cast<LxiWebServer*>(self);
        if (*state && *state != kAnnounced)
            delete static_cast<AppBody*>(*state);
        *state = nullptr;
        if (const auto it = server->arriving_.find(connection); it != server->arriving_.end())
            it->second.since.start();
    }
};

QStringList HostsReaching(const QHostAddress& address) {
    const bool v4 = address == QHostAddress::Any || address == QHostAddress::AnyIPv4;
    const bool v6 = address == QHostAddress::Any || address == QHostAddress::AnyIPv6;
    if (!v4 && !v6)
        return {address.toString()};
    // A link-local IPv6 address needs its interface named, which no
    // resource string can: those are left out.
    QStringList hosts;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if ((v4 && a.protocol() == QAbstractSocket::IPv4Protocol) ||
            (v6 && a.protocol() == QAbstractSocket::IPv6Protocol && !a.isLinkLocal()))
            hosts << a.toString();
    return hosts;
}

LxiWebServer::LxiWebServer(std::function<LxiPage()> page, QObject* parent)
    : QObject(parent), page_(std::move(page)), timer_(new QTimer(this)),
      deadline_(new QTimer(this)) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { serve(); });
    connect(deadline_, &QTimer::timeout, this, [this] { cutSlowRequests(); });
}

LxiWebServer::~LxiWebServer() {
    close();
}

void LxiWebServer::setApp(WebApp* app) {
    app_ = app;
    connect(app, &WebApp::pushed, this, [this](const QByteArray& event) { push(event); });
    // A comment every few seconds keeps idle streams from the library's
    // idle limit and finds clients gone without a word.
    auto* beat = new QTimer(this);
    connect(beat, &QTimer::timeout, this, [this] {
        if (!streams_.empty())
            push(": still here\n\n");
    });
    beat->start(4000);
}

MHD_Response* LxiWebServer::openStream(MHD_Connection* connection, const QByteArray& first) {
    auto stream = std::make_shared<Stream>(Stream{this, connection, first});
    // What the system holds for a reader is bounded too: one that stops
    // reading is found within a few hundred events, not megabytes.
    if (const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)) {
        const int size = 64 * 1024;
        ::setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    streams_[connection] = stream;
    return MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 16 * 1024, &Calls::ReadStream,
                                             stream.get(), &Calls::StreamEnded);
}

// Every stream takes the event; one that has left too much unread is
// dropped, and nobody waits for it.
void LxiWebServer::push(const QByteArray& event) {
    for (auto& [connection, stream] : streams_) {
        if (stream->dropped)
            continue;
        if (stream->pending.size() + event.size() > kMaxStreamBacklog)
            stream->dropped = true;
        else
            stream->pending += event;
        if (stream->suspended) {
            stream->suspended = false;
            MHD_resume_connection(stream->connection);
        }
    }
    serve();
}

bool LxiWebServer::listen(const QHostAddress& address, quint16 port, QString& error) {
    sockaddr_storage storage{};
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    if (v6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(storage);
        a.sin6_family = AF_INET6;
        a.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        memcpy(&a.sin6_addr, bytes.c, sizeof bytes.c);
        a.sin6_scope_id = static_cast<uint32_t>(address.scopeId().toUInt());
    } else if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto& a = reinterpret_cast<sockaddr_in&>(storage);
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(address.toIPv4Address());
    } else {
        error = "the web page is served on an IPv4 or IPv6 address, not " + address.toString();
        return false;
    }
    auto* a = &storage;
    // The certificate's options come first when there is one; the list
    // ends where they are not.
    const bool tls = secure();
    daemon_ = MHD_start_daemon(
        MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | (tls ? MHD_USE_TLS : 0) |
            (v6 ? MHD_USE_IPv6 : 0),
        port, &Calls::Admit, this, &Calls::Access, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(a), MHD_OPTION_CONNECTION_LIMIT, kMaxConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, kPerAddress, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        static_cast<size_t>(32 * 1024), MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds,
        MHD_OPTION_NOTIFY_CONNECTION, &Calls::Connection, this, MHD_OPTION_NOTIFY_COMPLETED,
        &Calls::Completed, this, tls ? MHD_OPTION_HTTPS_MEM_KEY : MHD_OPTION_END,
        tlsKey_.constData(), MHD_OPTION_HTTPS_MEM_CERT, tlsCertificate_.constData(),
        MHD_OPTION_HTTPS_PRIORITIES, "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2", MHD_OPTION_END);
    if (!daemon_) {
        error = QString("cannot listen on port %1").arg(port);
        return false;
    }
    port_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
    const int fd = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { serve(); });
    deadline_->start(static_cast<int>(std::clamp<qint64>(requestTime_.count() / 4, 10, 1000)));
    if (app_)
        PanelServers().push_back(this);
    serve();
    return true;
}

void LxiWebServer::close() {
    std::erase(PanelServers(), this);
    timer_->stop();
    deadline_->stop();
    delete notifier_;
    notifier_ = nullptr;
    if (daemon_)
        MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
    arriving_.clear();
    port_ = 0;
}

// What is ready is served; the library's next deadline (an idle
// connection's end) is kept by the timer.
void LxiWebServer::serve() {
    if (!daemon_)
        return;
    MHD_run(daemon_);
    MHD_UNSIGNED_LONG_LONG wait = 0;
    if (MHD_get_timeout(daemon_, &wait) == MHD_YES)
        timer_->start(static_cast<int>(std::min<MHD_UNSIGNED_LONG_LONG>(wait, 60000)));
}

// A request still arriving after its time (a header line now and then
// keeps a connection from idling) has its connection shut: the library
// closes it at once.
void LxiWebServer::cutSlowRequests() {
    bool cut = false;
    for (const auto& [connection, a] : arriving_)
        if (a.since.isValid() && a.since.elapsed() >= requestTime_.count() && a.fd >= 0) {
            ::shutdown(a.fd, SHUT_RDWR);
            cut = true;
        }
    if (cut)
        serve();
}

LxiWebServer::Reply LxiWebServer::answer(const QString& method, const QString& path,
                                         const QString& host, const QString& local) const {
    if (method != "HEAD" && method != "GET")
        return {MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain; charset=utf-8",
                "Only GET and HEAD are answered here.\n"};
    // HEAD is answered as GET is: the library sends the headers alone.
    const QString base = QString(secure() ? "https://" : "http://") +
                         (host.isEmpty() ? local + ":" + QString::number(port_) : host);
    if (path == "/")
        return {MHD_HTTP_OK, "text/html; charset=utf-8",
                WelcomeHtml(page_(), panelsServed(HostOnly(host, local)))};
    if (path == "/lxi/identification")
        return {MHD_HTTP_OK, "text/xml; charset=utf-8", IdentificationXml(page_(), base, local)};
    if (path == kSchemaPath)
        return {MHD_HTTP_OK, "text/xml; charset=utf-8", QByteArray(kLxiIdentificationSchema)};
    return {MHD_HTTP_NOT_FOUND, "text/plain; charset=utf-8",
            "Nothing here: see / or /lxi/identification.\n"};
}

// One interface for each address (the one the client reached first), with
// the resource strings that reach it, as VISA writes them to a driver
// (TCPIP::, the board number left to the client).
QByteArray LxiWebServer::IdentificationXml(const LxiPage& page, const QString& base,
                                           const QString& first) {
    QStringList addresses = page.addresses;
    if (addresses.removeAll(first) > 0)
        addresses.prepend(first);
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeDefaultNamespace(kLxiNamespace);
    w.writeNamespace(kInstanceNamespace, "xsi");
    w.writeStartElement(kLxiNamespace, "LXIDevice");
    w.writeAttribute(kInstanceNamespace, "schemaLocation",
                     QString(kLxiNamespace) + " " + base + kSchemaPath);
    w.writeTextElement(kLxiNamespace, "Manufacturer", page.manufacturer);
    w.writeTextElement(kLxiNamespace, "Model", page.model);
    w.writeTextElement(kLxiNamespace, "SerialNumber", page.serial);
    w.writeTextElement(kLxiNamespace, "FirmwareRevision", page.firmware);
    w.writeTextElement(kLxiNamespace, "ManufacturerDescription", page.description);
    w.writeTextElement(kLxiNamespace, "IdentificationURL", base + "/lxi/identification");
    for (const QString& address : addresses) {
        const InterfaceFacts facts = FactsOf(address);
        w.writeStartElement(kLxiNamespace, "Interface");
        w.writeAttribute(kInstanceNamespace, "type", "NetworkInformation");
        w.writeAttribute("InterfaceType", "LXI");
        w.writeAttribute("IPType", "IPv4");
        w.writeAttribute("InterfaceName", facts.name);
        for (QString resource : page.resources)
            if (resource.contains("::" + address + "::"))
                w.writeTextElement(kLxiNamespace, "InstrumentAddressString",
                                   resource.replace(QRegularExpression("^TCPIP\\d*::"), "TCPIP::"));
        w.writeTextElement(kLxiNamespace, "Hostname", page.hostName);
        w.writeTextElement(kLxiNamespace, "IPAddress", address);
        w.writeTextElement(kLxiNamespace, "SubnetMask", facts.mask);
        w.writeTextElement(kLxiNamespace, "MACAddress", facts.mac);
        w.writeTextElement(kLxiNamespace, "Gateway", facts.gateway);
        // The program sets no address of the computer's: it takes none by
        // DHCP or AutoIP itself.
        w.writeTextElement(kLxiNamespace, "DHCPEnabled", "false");
        w.writeTextElement(kLxiNamespace, "AutoIPEnabled", "false");
        w.writeEndElement();
    }
    if (!page.security.isEmpty()) { // the program's own words, in a namespace of
        // its own (the schema's place for them: after the interfaces)
        w.writeStartElement(kLxiNamespace, "Extension");
        w.writeNamespace(kSecurityNamespace, "nv");
        w.writeStartElement(kSecurityNamespace, "Security");
        for (const QString& line : page.security)
            w.writeTextElement(kSecurityNamespace, "Secured", line);
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeTextElement(kLxiNamespace, "LXIVersion", kLxiVersion);
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

QList<LxiWebServer::PanelLink> LxiWebServer::panelsServed(const QString& host) const {
    QList<PanelLink> links;
    for (const LxiWebServer* server : PanelServers()) {
        const QString url = QString(server->secure() ? "https://%1:%2/panel" : "http://%1:%2/panel")
                                .arg(host)
                                .arg(server->port_);
        // A server on each of several addresses: the same panel.
        if (std::any_of(links.begin(), links.end(),
                        [&](const PanelLink& l) { return l.url == url; }))
            continue;
        const LxiPage page = server->page_();
        links.append({page.model + " " + page.serial + (server->secure() ? " (HTTPS)" : ""), url,
                      server->port_ == port_ && server->secure() == secure()});
    }
    return links;
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_LxiWebServer.cpp"
