// The instrument announced on the local network by mDNS/DNS-SD through the
// Avahi daemon: _lxi._tcp (with the LXI TXT keys), _vxi-11._tcp,
// _scpi-raw._tcp and _http._tcp, each on its port, withdrawn when the
// publisher goes. A name another host holds is replaced by the alternative
// Avahi gives. Where no Avahi daemon runs, start() says so and nothing is
// published. Avahi's calls run on a thread of its own, under its lock.
#pragma once

#include <QString>
#include <memory>

#include "ScpiSession.h"

class MdnsPublisher {
public:
    struct Services {
        QString name; // "Norvale 72-815 1001"
        QString manufacturer, model, serial, firmware;
        int rawPort = 0, vxi11Port = 0, httpPort = 0, hislipPort = 0; // 0: not served

        // Those of the instrument `id` names, under "maker model serial".
        static Services Of(const scpi::Identity& id, int rawPort, int vxi11Port, int httpPort,
                           int hislipPort);
    };

    MdnsPublisher();
    ~MdnsPublisher();
    MdnsPublisher(const MdnsPublisher&) = delete;
    MdnsPublisher& operator=(const MdnsPublisher&) = delete;

    // Publishes `services`; false with the reason when no Avahi daemon answers.
    bool start(const Services& services, QString& error);
    void stop();
    // The name published (another when the first was taken); empty before.
    QString name() const;

    struct Avahi;

private:
    std::unique_ptr<Avahi> avahi_;
};
