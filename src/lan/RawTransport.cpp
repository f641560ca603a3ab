// SCPI over a raw TCP socket: a server of the device's own.
#include "Transport.h"

#include "ScpiServer.h"

namespace {

class RawTransport : public Transport {
public:
    bool listen(const TransportContext& context, const QList<QHostAddress>& addresses, quint16 port,
                QString& error) override {
        auto server = std::make_unique<ScpiServer>(context.device);
        server->setDoor(context.door);
        if (!server->listen(addresses, port, error))
            return false;
        server_ = std::move(server);
        connect(server_.get(), &ScpiServer::clientConnected, this, [this](const QString& client) {
            emit clientCame(client);
            emit clientsChanged();
        });
        connect(server_.get(), &ScpiServer::clientDisconnected, this,
                [this](const QString& client) {
                    emit clientLeft(client);
                    emit clientsChanged();
                });
        return true;
    }
    // Every client closed (each said), the panel given back.
    void stop() override { server_.reset(); }
    bool listening() const override { return server_ && server_->listening(); }
    quint16 port() const override { return listening() ? server_->port() : 0; }
    QStringList clients() const override {
        return listening() ? server_->clients() : QStringList();
    }
    QList<TransportResource> resources(const QString& host) const override {
        if (!listening())
            return {};
        return {{QString("TCPIP0::%1::%2::SOCKET").arg(ResourceHost(host)).arg(port()), {}}};
    }
    QList<MdnsService> services() const override {
        if (!listening())
            return {};
        return {{"_scpi-raw._tcp", port()}};
    }

private:
    std::unique_ptr<ScpiServer> server_;
};

} // namespace

std::unique_ptr<Transport> MakeRawTransport() {
    return std::make_unique<RawTransport>();
}
