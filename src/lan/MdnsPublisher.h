// The instrument announced on the local network by mDNS/DNS-SD through the
// Avahi daemon: the services its transports name (_scpi-raw._tcp,
// _vxi-11._tcp, _hislip._tcp, _lxi._tcp with the LXI TXT keys, _http._tcp
// without), each on its port, only on the
// interface the servers listen on (every one when they listen on all),
// withdrawn when the publisher goes. Servers reached from this computer
// only are announced nowhere. A name another host holds is replaced by the
// alternative Avahi gives. Where no Avahi daemon runs, start() says so and
// nothing is published. Avahi's calls run on a thread of its own, under its
// lock.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <memory>

#include "ScpiSession.h"

// One service announced on its port.
struct MdnsService {
    QString type; // "_hislip._tcp"
    int port = 0;
    bool lxiText = true; // with the LXI TXT keys (maker, model, serial, firmware)
};

class MdnsPublisher {
public:
    struct Services {
        QString name; // "Norvale 72-815 1001"
        QString manufacturer, model, serial, firmware;
        QList<MdnsService> services;
        // Where they are announced: the interfaces' indexes (-1: every
        // one; none: nowhere), and for IPv4 and IPv6 clients or either.
        QList<int> interfaces{-1};
        bool ipv4 = true, ipv6 = false;

        // Those of the instrument `id` names, under "maker model serial".
        static Services Of(const scpi::Identity& id, const QList<MdnsService>& services);
    };

    MdnsPublisher();
    ~MdnsPublisher();
    MdnsPublisher(const MdnsPublisher&) = delete;
    MdnsPublisher& operator=(const MdnsPublisher&) = delete;

    // The interface clients reach a server listening on `address` through:
    // -1 every one (the wildcard address), 0 none beyond this computer (a
    // loopback address), else the index of the interface that holds it.
    static int InterfaceOf(const QHostAddress& address);
    // Where servers listening on `addresses` are announced: the interfaces
    // and the families of those addresses (loopback ones left out).
    static void Follow(const QList<QHostAddress>& addresses, Services& services);

    // Publishes `services`; false with the reason when they are reached from
    // this computer only, or no Avahi daemon answers.
    bool start(const Services& services, QString& error);
    void stop();
    // The name published (another when the first was taken); empty before.
    QString name() const;

    struct Avahi;

private:
    std::unique_ptr<Avahi> avahi_;
};
