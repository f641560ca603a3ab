#include "MdnsPublisher.h"

#include <QNetworkInterface>

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#include <string>

// Avahi's objects; the callbacks run on Avahi's thread, the rest under its lock.
struct MdnsPublisher::Avahi {
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
    Services services;
    std::string name;

    void publish();
    static void groupChanged(AvahiEntryGroup* g, AvahiEntryGroupState state, void* self);
    static void clientChanged(AvahiClient* c, AvahiClientState state, void* self);
};

namespace {

AvahiStringList* LxiText(const MdnsPublisher::Services& s) {
    AvahiStringList* text = avahi_string_list_new("txtvers=1", nullptr);
    for (const auto& [key, value] :
         {std::pair{"Manufacturer", s.manufacturer}, std::pair{"Model", s.model},
          std::pair{"SerialNumber", s.serial}, std::pair{"FirmwareVersion", s.firmware}})
        text = avahi_string_list_add_pair(text, key, value.toUtf8().constData());
    return text;
}

} // namespace

// Every service under the one name; a collision asks for another name.
void MdnsPublisher::Avahi::publish() {
    if (!group)
        group = avahi_entry_group_new(client, &Avahi::groupChanged, this);
    if (!group)
        return;
    avahi_entry_group_reset(group);
    for (const MdnsService& e : services.services) {
        if (e.port <= 0)
            continue;
        const AvahiProtocol protocol = services.ipv4 && services.ipv6 ? AVAHI_PROTO_UNSPEC
                                       : services.ipv6                ? AVAHI_PROTO_INET6
                                                                      : AVAHI_PROTO_INET;
        for (const int index : services.interfaces) {
            AvahiStringList* text = e.lxiText ? LxiText(services) : nullptr;
            const int result = avahi_entry_group_add_service_strlst(
                group, index < 0 ? AVAHI_IF_UNSPEC : index, protocol, AvahiPublishFlags(0),
                name.c_str(), e.type.toUtf8().constData(), nullptr, nullptr,
                static_cast<uint16_t>(e.port), text);
            avahi_string_list_free(text);
            if (result == AVAHI_ERR_COLLISION) {
                char* other = avahi_alternative_service_name(name.c_str());
                name = other;
                avahi_free(other);
                return publish();
            }
        }
    }
    avahi_entry_group_commit(group);
}

void MdnsPublisher::Avahi::groupChanged(AvahiEntryGroup*, AvahiEntryGroupState state, void* self) {
    auto* a = static_cast<Avahi*>(self);
    if (state == AVAHI_ENTRY_GROUP_COLLISION) { // another host has the name: the next one
        char* other = avahi_alternative_service_name(a->name.c_str());
        a->name = other;
        avahi_free(other);
        a->publish();
    }
}

void MdnsPublisher::Avahi::clientChanged(AvahiClient* c, AvahiClientState state, void* self) {
    auto* a = static_cast<Avahi*>(self);
    a->client = c; // the callback may come before avahi_client_new returns
    if (state == AVAHI_CLIENT_S_RUNNING)
        a->publish();
    else if (state == AVAHI_CLIENT_S_COLLISION && a->group)
        avahi_entry_group_reset(a->group); // the host's name: published again once running
}

MdnsPublisher::Services MdnsPublisher::Services::Of(const scpi::Identity& id,
                                                    const QList<MdnsService>& services) {
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    return {text(id.maker + " " + id.model + " " + id.serial),
            text(id.maker),
            text(id.model),
            text(id.serial),
            text(id.version),
            services};
}

MdnsPublisher::MdnsPublisher() = default;

MdnsPublisher::~MdnsPublisher() {
    stop();
}

int MdnsPublisher::InterfaceOf(const QHostAddress& address) {
    if (address == QHostAddress::Any || address == QHostAddress::AnyIPv4 ||
        address == QHostAddress::AnyIPv6)
        return -1;
    if (address.isLoopback())
        return 0;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (e.ip().isEqual(address))
                return i.index();
    return -1;
}

void MdnsPublisher::Follow(const QList<QHostAddress>& addresses, Services& services) {
    services.interfaces.clear();
    services.ipv4 = services.ipv6 = false;
    for (const QHostAddress& a : addresses) {
        const int index = InterfaceOf(a);
        if (index == 0)
            continue;
        if (index < 0)
            services.interfaces = {-1};
        else if (!services.interfaces.contains(index) && !services.interfaces.contains(-1))
            services.interfaces << index;
        const bool v4 = a.protocol() == QAbstractSocket::IPv4Protocol || a == QHostAddress::Any;
        services.ipv4 = services.ipv4 || v4;
        services.ipv6 = services.ipv6 || !v4 || a == QHostAddress::Any;
    }
}

bool MdnsPublisher::start(const Services& services, QString& error) {
    stop();
    if (services.interfaces.isEmpty()) {
        error = "the servers listen on this computer only";
        return false;
    }
    auto a = std::make_unique<Avahi>();
    a->services = services;
    a->name = services.name.toUtf8().toStdString();
    a->poll = avahi_threaded_poll_new();
    if (!a->poll) {
        error = "Avahi could not start";
        return false;
    }
    int failure = 0;
    avahi_threaded_poll_lock(a->poll);
    a->client = avahi_client_new(avahi_threaded_poll_get(a->poll), AvahiClientFlags(0),
                                 &Avahi::clientChanged, a.get(), &failure);
    avahi_threaded_poll_unlock(a->poll);
    if (!a->client) {
        error = QString("no Avahi daemon answers (%1)").arg(avahi_strerror(failure));
        avahi_threaded_poll_free(a->poll);
        return false;
    }
    avahi_threaded_poll_start(a->poll);
    avahi_ = std::move(a);
    return true;
}

// The services are withdrawn with the client.
void MdnsPublisher::stop() {
    if (!avahi_)
        return;
    avahi_threaded_poll_stop(avahi_->poll);
    if (avahi_->group)
        avahi_entry_group_free(avahi_->group);
    avahi_client_free(avahi_->client);
    avahi_threaded_poll_free(avahi_->poll);
    avahi_.reset();
}

QString MdnsPublisher::name() const {
    if (!avahi_)
        return {};
    avahi_threaded_poll_lock(avahi_->poll);
    const QString name = QString::fromStdString(avahi_->name);
    avahi_threaded_poll_unlock(avahi_->poll);
    return name;
}
