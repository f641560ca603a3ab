// HiSLIP: the device one of the process's HiSLIP server (hislip0, hislip1,
// ...), which listens while it serves any.
#include "HislipServer.h"
#include "SharedServerTransport.h"

namespace {

class HislipTransport : public SharedServerTransport<HislipServer> {
public:
    QStringList clients() const override { return ours(Shared().sessions(), "HiSLIP"); }
    // With ",PORT" after the device's name when not on HiSLIP's own port.
    QList<TransportResource> resources(const QString& host) const override {
        if (!device_)
            return {};
        const QString suffix =
            port() == HislipServer::kPort ? QString() : "," + QString::number(port());
        const Access* access = Shared().access(*device_);
        const QString secured = !access || !access->tls ? QString()
                                : access->secure        ? ", TLS and sign-in required"
                                                        : ", TLS offered";
        return {{QString("TCPIP0::%1::%2%3::INSTR").arg(ResourceHost(host), deviceName(), suffix),
                 QString("HiSLIP, port %1%2").arg(port()).arg(secured)}};
    }
    QList<MdnsService> services() const override {
        if (!device_)
            return {};
        return {{"_hislip._tcp", port()}};
    }

private:
    void follow(HislipServer& server) override {
        connect(&server, &HislipServer::sessionsChanged, this, &Transport::clientsChanged);
    }
};

} // namespace

std::unique_ptr<Transport> MakeHislipTransport() {
    return std::make_unique<HislipTransport>();
}
