// VXI-11: the device one of the process's VXI-11 server (the port mapper
// knows one per computer), inst0 for the first device, inst1 for the next;
// the server listens while it serves any.
#include "Transport.h"

#include <QCoreApplication>

#include "Vxi11Server.h"

namespace {

Vxi11Server& SharedVxi11() {
    static Vxi11Server* server = new Vxi11Server(qApp);
    return *server;
}

class Vxi11Transport : public Transport {
public:
    ~Vxi11Transport() override { stop(); }
    bool listen(const TransportContext& context, const QHostAddress& address, quint16 port,
                QString& error) override {
        Vxi11Server& server = SharedVxi11();
        // The process's one server: the first device served chooses its door.
        if (!server.listening())
            server.setDoor(context.door);
        if (!server.listening() && !server.listen(address, port, error))
            return false;
        server.addDevice(context.device);
        device_ = &context.device;
        connect(&server, &Vxi11Server::linksChanged, this, &Transport::clientsChanged);
        connect(&server, &Vxi11Server::registrationChanged, this, &Transport::reachChanged);
        return true;
    }
    void stop() override {
        if (!device_)
            return;
        Vxi11Server& server = SharedVxi11();
        server.disconnect(this);
        server.removeDevice(*device_); // its links closed
        device_ = nullptr;
        if (!server.serves())
            server.close(); // withdrawn from the port mapper
    }
    bool listening() const override { return device_ != nullptr; }
    quint16 port() const override { return device_ ? SharedVxi11().port() : 0; }
    QStringList clients() const override {
        QStringList all;
        if (!device_)
            return all;
        const QString name = " " + SharedVxi11().deviceName(*device_);
        for (const QString& link : SharedVxi11().links())
            if (link.endsWith(name))
                all << link.chopped(name.size()) + " (VXI-11)";
        return all;
    }
    // None while the port mapper sends clients to another server.
    QList<TransportResource> resources(const QString& host) const override {
        if (!device_ || !SharedVxi11().reachable())
            return {};
        return {{QString("TCPIP0::%1::%2::INSTR")
                     .arg(ResourceHost(host), SharedVxi11().deviceName(*device_)),
                 QString("VXI-11, port %1").arg(port())}};
    }
    QList<MdnsService> services() const override {
        if (!device_ || !SharedVxi11().reachable())
            return {};
        return {{"_vxi-11._tcp", port()}};
    }
    QString problem() const override {
        if (!device_)
            return {};
        const Vxi11Server& server = SharedVxi11();
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
    ScpiDevice* device_ = nullptr;
};

} // namespace

std::unique_ptr<Transport> MakeVxi11Transport() {
    return std::make_unique<Vxi11Transport>();
}
