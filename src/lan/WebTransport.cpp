// The LXI identification document and the welcome page, on a server of the
// device's own: over HTTP, or over HTTPS with the access's certificate.
#include "Transport.h"

#include "LxiWebServer.h"
#include "WebPanel.h"

namespace {

class WebTransport : public Transport {
public:
    explicit WebTransport(bool secure) : secure_(secure) {}
    bool listen(const TransportContext& context, const QList<QHostAddress>& addresses, quint16 port,
                QString& error) override {
        panel_ = std::make_unique<WebPanel>(context.device, context.access);
        auto server = std::make_unique<LxiWebServer>(context.page);
        server->setDoor(context.door);
        server->setApp(panel_.get());
        if (secure_) {
            if (!context.access || !context.access->tls) {
                error = "HTTPS has no certificate";
                return false;
            }
            server->setTls(context.access->tls->identity());
            fingerprint_ = context.access->tls->identity().fingerprint;
            lxi_ = context.access->secure; // the LXI page is this one
        }
        if (!server->listen(addresses.front(), port, error))
            return false;
        // A server of its own on each further address, on the same port.
        for (qsizetype i = 1; i < addresses.size(); ++i) {
            auto more = std::make_unique<LxiWebServer>(context.page);
            more->setDoor(context.door);
            more->setApp(panel_.get());
            if (secure_)
                more->setTls(context.access->tls->identity());
            if (!more->listen(addresses[i], server->port(), error)) {
                error = addresses[i].toString() + ": " + error;
                more_.clear();
                return false;
            }
            more_.push_back(std::move(more));
        }
        server_ = std::move(server);
        return true;
    }
    void stop() override {
        more_.clear();
        server_.reset();
        panel_.reset();
    }
    bool listening() const override { return server_ && server_->listening(); }
    quint16 port() const override { return listening() ? server_->port() : 0; }
    QList<TransportResource> resources(const QString& host) const override {
        if (!listening())
            return {};
        const QString url = QString(secure_ ? "https://%1:%2/" : "http://%1:%2/")
                                .arg(ResourceHost(host))
                                .arg(port());
        return {{url,
                 secure_ ? "the LXI identification at /lxi/identification; TLS, certificate " +
                               fingerprint_
                         : "the LXI identification at /lxi/identification",
                 false}};
    }
    QList<MdnsService> services() const override {
        if (!listening())
            return {};
        if (secure_)
            return lxi_ ? QList<MdnsService>{{"_lxi._tcp", port()}, {"_https._tcp", port(), false}}
                        : QList<MdnsService>{{"_https._tcp", port(), false}};
        return {{"_lxi._tcp", port()}, {"_http._tcp", port(), false}};
    }

private:
    bool secure_;
    bool lxi_ = false;
    QString fingerprint_;
    std::unique_ptr<WebPanel> panel_; // before its servers: they push its events
    std::unique_ptr<LxiWebServer> server_;
    std::vector<std::unique_ptr<LxiWebServer>> more_;
};

} // namespace

std::unique_ptr<Transport> MakeWebTransport() {
    return std::make_unique<WebTransport>(false);
}

std::unique_ptr<Transport> MakeSecureWebTransport() {
    return std::make_unique<WebTransport>(true);
}
