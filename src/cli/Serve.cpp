#include "Serve.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

#include "CardCommands.h"
#include "HislipServer.h"
#include "LineOutput.h"
#include "LxiWebServer.h"
#include "MdnsPublisher.h"
#include "RunSteps.h"
#include "ScpiServer.h"
#include "VisaResources.h"
#include "Vxi11Server.h"

namespace {

// SIGINT and SIGTERM reach the event loop through a pipe: a handler may only write.
int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(stopPipe[1], &byte, 1);
}

// Handlers of SIGINT and SIGTERM while it lives, the previous ones after.
class StopSignals {
public:
    StopSignals() {
        if (pipe(stopPipe) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
        // A closed output or client is an error of its write, not the end.
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &oldPipe_);
        notifier_ = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                         [] { QCoreApplication::quit(); });
    }
    ~StopSignals() {
        notifier_.reset();
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
        sigaction(SIGPIPE, &oldPipe_, nullptr);
        for (int& fd : stopPipe)
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
    }

private:
    struct sigaction oldInt_ = {}, oldTerm_ = {}, oldPipe_ = {};
    std::unique_ptr<QSocketNotifier> notifier_;
};

// VXI-11, as the options ask; false when it cannot listen (said on `err`).
bool StartVxi11(Vxi11Server& vxi11, ScpiDevice& device, const QHostAddress& address,
                const ServeOptions& o, std::FILE* err) {
    if (!o.vxi11)
        return true;
    vxi11.addDevice(device);
    QString problem;
    if (!vxi11.listen(address, static_cast<quint16>(o.vxi11Port), problem)) {
        std::fprintf(err, "Cannot serve VXI-11 on %s:%d: %s\n", o.address.c_str(), o.vxi11Port,
                     qPrintable(problem));
        return false;
    }
    return true;
}

// What VXI-11's clients cannot do, as the port mapper stands; nothing when registered.
void SayRegistration(const Vxi11Server& vxi11, std::FILE* err) {
    if (!vxi11.listening())
        return;
    if (vxi11.registration() == Vxi11Server::Registration::NoPortMapper)
        std::fprintf(err,
                     "VXI-11: no port mapper answers on this computer, so clients that look "
                     "the port up (TCPIP::HOST::INSTR) will not find the server: install and "
                     "start rpcbind, or give them port %d.\n",
                     vxi11.port());
    else if (vxi11.registration() == Vxi11Server::Registration::HeldByAnother)
        std::fprintf(err,
                     "VXI-11: another VXI-11 server on this computer (port %d) holds the port "
                     "mapper's entry, so TCPIP::HOST::INSTR reaches that server's device, not "
                     "this card; its resource string is left out and not announced. This "
                     "server (port %d) registers as soon as that entry goes.\n",
                     vxi11.portMapperHolder(), vxi11.port());
    std::fflush(err);
}

// HiSLIP, on its own port where it may be had (any free one else) unless
// the options name one.
bool StartHislip(HislipServer& hislip, ScpiDevice& device, const QHostAddress& address,
                 const ServeOptions& o, std::FILE* err) {
    if (!o.hislip)
        return true;
    hislip.addDevice(device);
    QString problem;
    const int wanted = o.hislipPort < 0 ? HislipServer::kPort : o.hislipPort;
    if (!hislip.listen(address, static_cast<quint16>(wanted), problem) &&
        (o.hislipPort >= 0 || !hislip.listen(address, 0, problem))) {
        std::fprintf(err, "Cannot serve HiSLIP on %s:%d: %s\n", o.address.c_str(), wanted,
                     qPrintable(problem));
        return false;
    }
    return true;
}

// The web pages, on port 80 where it may be had (any free one else) unless
// the options name one.
bool StartWeb(LxiWebServer& web, const QHostAddress& address, const ServeOptions& o,
              std::FILE* err) {
    if (!o.http)
        return true;
    QString problem;
    const quint16 wanted = static_cast<quint16>(o.httpPort < 0 ? 80 : o.httpPort);
    if (!web.listen(address, wanted, problem) &&
        (o.httpPort >= 0 || !web.listen(address, 0, problem))) {
        std::fprintf(err, "Cannot serve the web page on %s:%d: %s\n", o.address.c_str(), wanted,
                     qPrintable(problem));
        return false;
    }
    return true;
}

// What serves the device, for the resource strings of a host.
ServedTransports Served(const ScpiServer& server, const Vxi11Server& vxi11,
                        const HislipServer& hislip, const ScpiDevice& device) {
    return {server.port(),
            vxi11.listening() && vxi11.reachable() ? vxi11.deviceName(device) : QString(),
            hislip.listening() ? hislip.deviceName(device) : QString(),
            hislip.listening() ? hislip.port() : 0};
}

// Each address's resource strings, VXI-11's and HiSLIP's with their ports, and the web page.
void PrintResources(LineOutput& lines, const QStringList& hosts, const ServedTransports& served,
                    int vxi11Port, int webPort) {
    for (const QString& host : hosts) {
        for (const QString& resource : VisaResources(host, served)) {
            std::string line = "  " + resource.toStdString();
            if (resource.endsWith("inst0::INSTR"))
                line += " (VXI-11, port " + std::to_string(vxi11Port) + ")";
            else if (resource.contains("::hislip"))
                line += " (HiSLIP, port " + std::to_string(served.hislipPort) + ")";
            lines.print(line);
        }
        if (webPort)
            lines.print("  http://" + host.toStdString() + ":" + std::to_string(webPort) +
                        "/ (the LXI identification at /lxi/identification)");
    }
}

// The servers of one card, what they print and announce, and how they
// follow VXI-11's registration with the port mapper.
struct Serving {
    Serving(Card& c, ScpiDevice& d, ScpiServer& s, const QHostAddress& a)
        : card(c), device(d), server(s), address(a) {}
    Card& card;
    ScpiDevice& device;
    ScpiServer& server;
    const QHostAddress address;
    const QStringList hosts = HostsReaching(address);
    Vxi11Server vxi11;
    HislipServer hislip;
    QStringList resources;
    LxiWebServer web{[this] { return LxiPageOf(card, hosts, resources); }};
    ServedTransports served;
    MdnsPublisher mdns;
    bool announced = false;

    // The resource strings, as what serves now reaches.
    void list() {
        served = Served(server, vxi11, hislip, device);
        resources.clear();
        for (const QString& host : hosts)
            resources << VisaResources(host, served);
    }
    // Announced where an Avahi daemon runs, on the interface served.
    bool announce(QString& problem) {
        MdnsPublisher::Services services =
            MdnsPublisher::Services::Of(scpi::IdentityOf(card), server.port(),
                                        vxi11.listening() && vxi11.reachable() ? vxi11.port() : 0,
                                        web.listening() ? web.port() : 0, served.hislipPort);
        services.interfaceIndex = MdnsPublisher::InterfaceOf(address);
        return mdns.start(services, problem);
    }
    // Registered later, or not any more: the strings, the page and mDNS follow.
    void followRegistration(LineOutput& lines, std::FILE* err) {
        QObject::connect(&vxi11, &Vxi11Server::registrationChanged, [this, &lines, err] {
            list();
            QString problem;
            if (announced)
                announce(problem);
            if (vxi11.registration() != Vxi11Server::Registration::Registered)
                return SayRegistration(vxi11, err);
            lines.print("VXI-11 registered with the port mapper:");
            PrintResources(lines, hosts, {0, served.vxi11Device, {}, 0}, vxi11.port(), 0);
        });
    }
    void close() {
        mdns.stop(); // withdrawn first
        web.close();
        hislip.close();
        vxi11.close();
        server.close();
    }
};

} // namespace

int RunServe(const ServeOptions& o, std::FILE* out, std::FILE* err) {
    if (!BindForCommandLine(err))
        return 1;
    Card card;
    std::string model;
    const std::string resource = FindCard(o.resource, err, &model);
    if (resource.empty() || !OpenForCommandLine(resource, card, err, ModelNamed(model))) {
        Release(card);
        return 1;
    }
    card.resetRecord(); // the window's defaults, sent by nothing
    card.record().Resource = resource;
    ScpiDevice device([&card] { return &card; }, [&card] { return scpi::IdentityOf(card); });
    device.setFilesFolder(QString::fromLocal8Bit(o.files.c_str()));
    ScpiServer server(device);
    QString problem;
    const QHostAddress address(QString::fromStdString(o.address));
    if (address.isNull() || !server.listen(address, static_cast<quint16>(o.port), problem)) {
        std::fprintf(err, "Cannot listen on %s:%d: %s\n", o.address.c_str(), o.port,
                     address.isNull() ? "no such address" : qPrintable(problem));
        Release(card);
        return 1;
    }
    if (!address.isLoopback())
        std::fprintf(err,
                     "Warning: listening on %s: anyone who can reach port %d controls the card.\n",
                     o.address.c_str(), server.port());
    Serving s{card, device, server, address};
    if (!StartVxi11(s.vxi11, device, address, o, err) ||
        !StartHislip(s.hislip, device, address, o, err) || !StartWeb(s.web, address, o, err)) {
        Release(card);
        return 1;
    }
    s.list();
    // Said once where it cannot be announced; served all the same.
    s.announced = o.mdns && s.announce(problem);
    if (o.mdns && !s.announced)
        std::fprintf(err,
                     "mDNS: %s, so the card is not announced on the network; it is served "
                     "all the same.\n",
                     qPrintable(problem));
    SayRegistration(s.vxi11, err);
    // The server's own lines never hold up its clients, whatever reads them.
    std::fflush(out);
    LineOutput lines(fileno(out));
    QObject::connect(&server, &ScpiServer::clientConnected, [&lines](const QString& client) {
        lines.print("Client " + client.toStdString() + " connected");
    });
    QObject::connect(&server, &ScpiServer::clientDisconnected, [&lines](const QString& client) {
        lines.print("Client " + client.toStdString() + " disconnected");
    });
    s.followRegistration(lines, err);
    const StopSignals stopping;
    lines.print("Listening on " + o.address + ":" + std::to_string(server.port()) + " for " +
                resource);
    PrintResources(lines, s.hosts, s.served, s.vxi11.port(), s.web.listening() ? s.web.port() : 0);
    QCoreApplication::exec();
    s.close();
    Release(card);
    lines.finish("Stopped: " + resource + " closed, its outputs as they were.",
                 std::chrono::seconds(2), fileno(err));
    return 0;
}
