// A transport whose server is the process's one (the port mapper knows one
// VXI-11 server per computer; HiSLIP's keeps its own port): the device is
// one of its devices while served, the server listens while it serves any,
// and the first device served chooses its address and its door; each
// device has its own access where the server takes one.
#pragma once

#include <QCoreApplication>

#include "Transport.h"

template <class Server> class SharedServerTransport : public Transport {
public:
    ~SharedServerTransport() override { stop(); }

    bool listen(const TransportContext& context, const QList<QHostAddress>& addresses, quint16 port,
                QString& error) override {
        Server& server = Shared();
        if (!server.listening()) {
            server.setDoor(context.door);
            if (!server.listen(addresses, port, error))
                return false;
        }
        server.addDevice(context.device);
        if constexpr (requires { server.setAccess(context.device, context.access); })
            server.setAccess(context.device, context.access); // each device's own
        device_ = &context.device;
        follow(server);
        return true;
    }
    void stop() override {
        if (!device_)
            return;
        Server& server = Shared();
        server.disconnect(this);
        server.removeDevice(*device_); // its links or sessions closed
        device_ = nullptr;
        if (!server.serves())
            server.close();
    }
    bool listening() const override { return device_ != nullptr; }
    quint16 port() const override { return device_ ? Shared().port() : 0; }

protected:
    static Server& Shared() {
        static Server* server = new Server(qApp);
        return *server;
    }
    // Its signals told on as the transport's.
    virtual void follow(Server& server) = 0;
    // This device's entries of `all` ("127.0.0.1:50122 inst0"), each
    // marked by how it came ("127.0.0.1:50122 (VXI-11)").
    QStringList ours(const QStringList& all, const QString& how) const {
        QStringList mine;
        if (!device_)
            return mine;
        const QString name = " " + deviceName();
        for (const QString& entry : all)
            if (entry.endsWith(name))
                mine << entry.chopped(name.size()) + " (" + how + ")";
        return mine;
    }
    QString deviceName() const { return Shared().deviceName(*device_); }

    ScpiDevice* device_ = nullptr;
};
