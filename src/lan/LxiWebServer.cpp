#include "LxiWebServer.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSocketNotifier>
#include <QTimer>
#include <QXmlStreamWriter>
#include <arpa/inet.h>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>

#include "CardCommands.h"
#include "ChannelStatus.h"

namespace {

constexpr const char* kLxiNamespace = "http://www.lxistandard.org/InstrumentIdentification/1.0";
constexpr const char* kInstanceNamespace = "http://www.w3.org/2001/XMLSchema-instance";

// libmicrohttpd's request handler: every request is answered whole at once.
MHD_Result Handle(void* server, MHD_Connection* connection, const char* url, const char* method,
                  const char*, const char*, size_t*, void** state) {
    // The first call only announces the request; its body (none is taken) follows.
    static int announced;
    if (*state != &announced) {
        *state = &announced;
        return MHD_YES;
    }
    const char* host = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Host");
    const LxiWebServer::Reply reply = static_cast<const LxiWebServer*>(server)->answer(
        QString::fromLatin1(method), QString::fromUtf8(url), QString::fromLatin1(host ? host : ""));
    MHD_Response* response = MHD_create_response_from_buffer(
        static_cast<size_t>(reply.body.size()), const_cast<char*>(reply.body.constData()),
        MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return queued;
}

} // namespace

QStringList HostsReaching(const QHostAddress& address) {
    if (address != QHostAddress::Any && address != QHostAddress::AnyIPv4)
        return {address.toString()};
    QStringList hosts;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            hosts << a.toString();
    return hosts;
}

LxiPage LxiPageOf(const Card& card, const QStringList& addresses, const QStringList& resources) {
    const scpi::Identity id = scpi::IdentityOf(card);
    LxiPage page;
    page.manufacturer = QString::fromStdString(id.maker);
    page.model = QString::fromStdString(id.model);
    page.serial = QString::fromStdString(id.serial);
    page.firmware = QString::fromStdString(id.version);
    page.description = QString("PXI function generator card, %1 channels, served by %2")
                           .arg(card.channels())
                           .arg(QCoreApplication::applicationName());
    page.hostName = QHostInfo::localHostName();
    page.addresses = addresses;
    page.resources = resources;
    for (int c = 1; c <= card.channels(); ++c)
        page.status +=
            QString::fromStdString(
                DescribeChannel(c,
                                card.session() ? ChannelPresence::Present : ChannelPresence::NoCard,
                                card.accepted().Channel[c])
                    .line) +
            "\n";
    return page;
}

LxiWebServer::LxiWebServer(std::function<LxiPage()> page, QObject* parent)
    : QObject(parent), page_(std::move(page)), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { serve(); });
}

LxiWebServer::~LxiWebServer() {
    close();
}

bool LxiWebServer::listen(const QHostAddress& address, quint16 port, QString& error) {
    if (address.protocol() != QAbstractSocket::IPv4Protocol) {
        error = "the web page is served on an IPv4 address";
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address.toIPv4Address());
    // Bounded: connections, the memory of each, and how long one may idle.
    daemon_ = MHD_start_daemon(
        MHD_USE_EPOLL, port, nullptr, nullptr, &Handle, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(&a), MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(16),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(32 * 1024),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(10), MHD_OPTION_END);
    if (!daemon_) {
        error = QString("cannot listen on port %1").arg(port);
        return false;
    }
    port_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
    const int fd = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { serve(); });
    serve();
    return true;
}

void LxiWebServer::close() {
    timer_->stop();
    delete notifier_;
    notifier_ = nullptr;
    if (daemon_)
        MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
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

LxiWebServer::Reply LxiWebServer::answer(const QString& method, const QString& path,
                                         const QString& host) const {
    const bool head = method == "HEAD";
    if (!head && method != "GET")
        return {MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain; charset=utf-8",
                "Only GET and HEAD are answered here.\n"};
    Reply reply{MHD_HTTP_NOT_FOUND, "text/plain; charset=utf-8",
                "Nothing here: see / or /lxi/identification.\n"};
    if (path == "/") {
        reply = {MHD_HTTP_OK, "text/html; charset=utf-8", WelcomeHtml(page_())};
    } else if (path == "/lxi/identification") {
        const QString self = "http://" + (host.isEmpty() ? QString("127.0.0.1") : host) + path;
        reply = {MHD_HTTP_OK, "text/xml; charset=utf-8", IdentificationXml(page_(), self)};
    }
    if (head)
        reply.body.clear();
    return reply;
}

QByteArray LxiWebServer::IdentificationXml(const LxiPage& page, const QString& self) {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeDefaultNamespace(kLxiNamespace);
    w.writeNamespace(kInstanceNamespace, "xsi");
    w.writeStartElement(kLxiNamespace, "LXIDevice");
    w.writeAttribute(kInstanceNamespace, "schemaLocation",
                     QString(kLxiNamespace) + " " + kLxiNamespace + "/1.0.xsd");
    w.writeTextElement(kLxiNamespace, "Manufacturer", page.manufacturer);
    w.writeTextElement(kLxiNamespace, "Model", page.model);
    w.writeTextElement(kLxiNamespace, "SerialNumber", page.serial);
    w.writeTextElement(kLxiNamespace, "FirmwareRevision", page.firmware);
    w.writeTextElement(kLxiNamespace, "ManufacturerDescription", page.description);
    w.writeTextElement(kLxiNamespace, "IdentificationURL", self);
    // One connection per address, with the resource strings that name it.
    for (const QString& address : page.addresses) {
        w.writeStartElement(kLxiNamespace, "Interface");
        w.writeAttribute(kInstanceNamespace, "type", "NetworkInformation");
        w.writeAttribute("InterfaceType", "LXI");
        w.writeAttribute("IPType", "IPv4");
        w.writeAttribute("InterfaceName", address == "127.0.0.1" ? "loopback" : "network");
        for (const QString& resource : page.resources)
            if (resource.contains("::" + address + "::"))
                w.writeTextElement(kLxiNamespace, "InstrumentAddressString", resource);
        w.writeTextElement(kLxiNamespace, "Hostname", page.hostName);
        w.writeTextElement(kLxiNamespace, "IPAddress", address);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

QByteArray LxiWebServer::WelcomeHtml(const LxiPage& page) {
    const auto e = [](const QString& text) { return text.toHtmlEscaped(); };
    QString rows;
    for (const auto& [name, value] :
         {std::pair{"Model", page.model}, std::pair{"Card id", page.serial},
          std::pair{"Firmware", page.firmware}, std::pair{"Host name", page.hostName},
          std::pair{"Addresses", page.addresses.join(", ")}})
        rows += QString("<tr><th>%1</th><td>%2</td></tr>\n").arg(name, e(value));
    QString resources;
    for (const QString& r : page.resources)
        resources += "<li><input readonly size=\"48\" value=\"" + e(r) + "\"></li>\n";
    const QString html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>" +
        e(page.manufacturer + " " + page.model) + " " + e(page.serial) +
        "</title>"
        "<style>body{font-family:sans-serif;margin:2em}th{text-align:left;padding-right:1em}"
        "pre{background:#f4f4f4;padding:.5em;white-space:pre-wrap}</style></head><body>\n"
        "<h1>" +
        e(page.manufacturer + " " + page.model) + "</h1>\n<p>" + e(page.description) +
        "</p>\n<table>\n" + rows +
        "</table>\n"
        "<h2>VISA resource strings</h2>\n<ul>\n" +
        resources +
        "</ul>\n"
        "<h2>Channels</h2>\n<pre>" +
        e(page.status) +
        "</pre>\n"
        "<p><a href=\"/lxi/identification\">LXI identification</a></p>\n</body></html>\n";
    return html.toUtf8();
}
