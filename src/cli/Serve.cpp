#include "Serve.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

#include "CardCommands.h"
#include "LineOutput.h"
#include "LxiWebServer.h"
#include "MdnsPublisher.h"
#include "RunSteps.h"
#include "ScpiServer.h"
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
    Vxi11Server vxi11;
    if (o.vxi11) {
        vxi11.addDevice(device);
        if (!vxi11.listen(address, static_cast<quint16>(o.vxi11Port), problem)) {
            std::fprintf(err, "Cannot serve VXI-11 on %s:%d: %s\n", o.address.c_str(), o.vxi11Port,
                         qPrintable(problem));
            Release(card);
            return 1;
        }
        if (!vxi11.portMapperRegistered())
            std::fprintf(err,
                         "VXI-11: no port mapper answers on this computer, so clients that look "
                         "the port up (TCPIP::HOST::INSTR) will not find the server: install and "
                         "start rpcbind, or give them port %d.\n",
                         vxi11.port());
    }
    // The resource strings each address is reached through.
    QStringList resources;
    for (const QString& host : HostsReaching(address)) {
        resources << QString("TCPIP0::%1::%2::SOCKET").arg(host).arg(server.port());
        if (vxi11.listening())
            resources << QString("TCPIP0::%1::inst0::INSTR").arg(host);
    }
    LxiWebServer web([&] { return LxiPageOf(card, HostsReaching(address), resources); });
    if (o.http) {
        const quint16 wanted = static_cast<quint16>(o.httpPort < 0 ? 80 : o.httpPort);
        if (!web.listen(address, wanted, problem) &&
            (o.httpPort >= 0 || !web.listen(address, 0, problem))) {
            std::fprintf(err, "Cannot serve the web page on %s:%d: %s\n", o.address.c_str(), wanted,
                         qPrintable(problem));
            Release(card);
            return 1;
        }
    }
    // Announced where an Avahi daemon runs; said once where none does.
    MdnsPublisher mdns;
    if (o.mdns && !mdns.start(MdnsPublisher::Services::Of(scpi::IdentityOf(card), server.port(),
                                                          vxi11.listening() ? vxi11.port() : 0,
                                                          web.listening() ? web.port() : 0),
                              problem))
        std::fprintf(err,
                     "mDNS: %s, so the card is not announced on the network; it is served "
                     "all the same.\n",
                     qPrintable(problem));
    // The server's own lines never hold up its clients, whatever reads them.
    std::fflush(out);
    LineOutput lines(fileno(out));
    QObject::connect(&server, &ScpiServer::clientConnected, [&lines](const QString& client) {
        lines.print("Client " + client.toStdString() + " connected");
    });
    QObject::connect(&server, &ScpiServer::clientDisconnected, [&lines](const QString& client) {
        lines.print("Client " + client.toStdString() + " disconnected");
    });
    const StopSignals stopping;
    lines.print("Listening on " + o.address + ":" + std::to_string(server.port()) + " for " +
                resource);
    for (const QString& host : HostsReaching(address)) {
        lines.print("  TCPIP0::" + host.toStdString() + "::" + std::to_string(server.port()) +
                    "::SOCKET");
        if (vxi11.listening())
            lines.print("  TCPIP0::" + host.toStdString() + "::inst0::INSTR (VXI-11, port " +
                        std::to_string(vxi11.port()) + ")");
        if (web.listening())
            lines.print("  http://" + host.toStdString() + ":" + std::to_string(web.port()) +
                        "/ (the LXI identification at /lxi/identification)");
    }
    QCoreApplication::exec();
    mdns.stop(); // withdrawn first
    web.close();
    vxi11.close();
    server.close();
    Release(card);
    lines.finish("Stopped: " + resource + " closed, its outputs as they were.",
                 std::chrono::seconds(2), fileno(err));
    return 0;
}
