// VXI-11: the device one of the process's VXI-11 server (the port mapper
// knows one per computer), inst0 for the first device, inst1 for the next;
// the server listens while it serves any.
#include "SharedServerTransport.h"
#include "Vxi11Server.h"

namespace {

class Vxi11Transport : public SharedServerTransport<Vxi11Server> {
public:
    QStringList clients() const override { return ours(Shared().links(), "VXI-11"); }
    // None while the port mapper sends clients to another server.
    QList<TransportResource> resources(const QString& host) const override {
        if (!device_ || !Shared().reachable())
            return {};
        return {{QString("TCPIP0::%1::%2::INSTR").arg(ResourceHost(host), deviceName()),
                 QString("VXI-11, port %1").arg(port())}};
    }
    QList<MdnsService> services() const override {
        if (!device_ || !Shared().reachable())
            return {};
        return {{"_vxi-11._tcp", port()}};
    }
    QString problem() const override {
        if (!device_)
            return {};
        const Vxi11Server& server = Shared();
        switch (server.registration()) {
        case Vxi11Server::Registration::NoPortMapper:
            return QString("VXI-11: no port mapper answers on this computer, so clients that "
                           "look the port up (TCPIP::HOST::INSTR) will not find the server: "
                           "install and start rpcbind, or give them port %1.")
                .arg(server.port());
        case Vxi11Server::Registration::HeldByAnother:
            return QString("VXI-11: another VXI-11 server on this computer (port %1) holds the "
                           "port mapper's entry, so TCPIP::HOST::INSTR reaches that server's "
                           "device, not this card; its resource string is left out and not "
                           "announced. This server (port %2) registers as soon as that entry "
                           "goes.")
                .arg(server.portMapperHolder())
                .arg(server.port());
        case Vxi11Server::Registration::Registered:
            break;
        }
        return {};
    }
    QString reachedAgain() const override { return "VXI-11 registered with the port mapper:"; }

private:
    void follow(Vxi11Server& server) override {
        connect(&server, &Vxi11Server::linksChanged, this, &Transport::clientsChanged);
        connect(&server, &Vxi11Server::registrationChanged, this, &Transport::reachChanged);
    }
};

} // namespace

std::unique_ptr<Transport> MakeVxi11Transport() {
    return std::make_unique<Vxi11Transport>();
}
