// HiSLIP: the device one of the process's HiSLIP server (hislip0, hislip1,
// ...), which listens while it serves any.
#include "Transport.h"

#include <QCoreApplication>

#include "HislipServer.h"

namespace {

HislipServer& SharedHislip() {
    static HislipServer* server = new HislipServer(qApp);
    return *server;
}

class HislipTransport : public Transport {
public:
    ~HislipTransport() override { stop(); }
    bool listen(const TransportContext& context, const QHostAddress& address, quint16 port,
                QString& error) override {
        HislipServer& server = SharedHislip();
        // The process's one server: the first device served chooses its door.
        if (!server.listening())
            server.setDoor(context.door);
        if (!server.listening() && !server.listen(address, port, error))
            return false;
        server.addDevice(context.device);
        device_ = &context.device;
        connect(&server, &HislipServer::sessionsChanged, this, &Transport::clientsChanged);
        return true;
    }
    void stop() override {
        if (!device_)
            return;
        HislipServer& server = SharedHislip();
        server.disconnect(this);
        server.removeDevice(*device_); // its sessions closed
        device_ = nullptr;
        if (!server.serves())
            server.close();
    }
    bool listening() const override { return device_ != nullptr; }
    quint16 port() const override { return device_ ? SharedHislip().port() : 0; }
    QStringList clients() const override {
        QStringList all;
        if (!device_)
            return all;
        const QString name = " " + SharedHislip().deviceName(*device_);
        for (const QString& session : SharedHislip().sessions())
            if (session.endsWith(name))
                all << session.chopped(name.size()) + " (HiSLIP)";
        return all;
    }
    // With ",PORT" after the device's name when not on HiSLIP's own port.
    QList<TransportResource> resources(const QString& host) const override {
        if (!device_)
            return {};
        const QString suffix =
            port() == HislipServer::kPort ? QString() : "," + QString::number(port());
        return {{QString("TCPIP0::%1::%2%3::INSTR")
                     .arg(ResourceHost(host), SharedHislip().deviceName(*device_), suffix),
                 QString("HiSLIP, port %1").arg(port())}};
    }
    QList<MdnsService> services() const override {
        if (!device_)
            return {};
        return {{"_hislip._tcp", port()}};
    }

private:
    ScpiDevice* device_ = nullptr;
};

} // namespace

std::unique_ptr<Transport> MakeHislipTransport() {
    return std::make_unique<HislipTransport>();
}
