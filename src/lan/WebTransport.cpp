// The LXI identification document and the welcome page, on a server of the
// device's own.
#include "Transport.h"

#include "LxiWebServer.h"

namespace {

class WebTransport : public Transport {
public:
    bool listen(const TransportContext& context, const QHostAddress& address, quint16 port,
                QString& error) override {
        auto server = std::make_unique<LxiWebServer>(context.page);
        server->setDoor(context.door);
        if (!server->listen(address, port, error))
            return false;
        server_ = std::move(server);
        return true;
    }
    void stop() override { server_.reset(); }
    bool listening() const override { return server_ && server_->listening(); }
    quint16 port() const override { return listening() ? server_->port() : 0; }
    QList<TransportResource> resources(const QString& host) const override {
        if (!listening())
            return {};
        return {{QString("http://%1:%2/").arg(ResourceHost(host)).arg(port()),
                 "the LXI identification at /lxi/identification", false}};
    }
    QList<MdnsService> services() const override {
        if (!listening())
            return {};
        return {{"_lxi._tcp", port()}, {"_http._tcp", port(), false}};
    }

private:
    std::unique_ptr<LxiWebServer> server_;
};

} // namespace

std::unique_ptr<Transport> MakeWebTransport() {
    return std::make_unique<WebTransport>();
}
