// A VXI-11 server's links: made and given up, their messages run on their
// device's sessions, their locks, and the service requests they ask for.
#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>

#include "ClientSockets.h"
#include "Vxi11Parts.h"
#include "vxi11.h"

// A call naming a link counts as the link's activity.
Vxi11Server::Link* Vxi11Server::link(long id) {
    const auto it = links_.find(id);
    if (it == links_.end())
        return nullptr;
    it->second->lastCall.start();
    return it->second.get();
}

ScpiDevice* Vxi11Server::named(const char* device) const {
    return devices_.named(QString::fromLatin1(device ? device : ""));
}

long Vxi11Server::createLink(int connection, const char* device, int& error) {
    ScpiDevice* named = this->named(device);
    if (!named) {
        error = NotAccessible;
        return 0;
    }
    if (static_cast<int>(links_.size()) >= kMaxLinks && !freeLink()) {
        error = OutOfResources;
        return 0;
    }
    auto l = std::make_unique<Link>();
    l->id = nextLink_++;
    l->connection = connection;
    for (const auto& c : connections_)
        if (c->id == connection)
            l->peer = c->peer;
    l->device = named;
    l->lastCall.start();
    l->session = l->device->openLink(l->peer + " (VXI-11)");
    const long id = l->id;
    links_[id] = std::move(l);
    error = NoError;
    emit linksChanged();
    return id;
}

int Vxi11Server::destroyLink(long id) {
    const auto it = links_.find(id);
    if (it == links_.end())
        return InvalidLink;
    Link& l = *it->second;
    l.device->closeLink(*l.session); // its locks are given up: calls waiting for them go on
    links_.erase(it);
    emit linksChanged();
    return NoError;
}

// The device's locks are the device's, whichever transport took them.
bool Vxi11Server::lockedOut(const Link& l) const {
    return l.device->heldOff(*l.session);
}

bool Vxi11Server::lockedOut(const char* device) const {
    const ScpiDevice* d = named(device);
    return d && d->lockHolderCount() > 0;
}

int Vxi11Server::abort(long id) {
    const auto it = links_.find(id);
    if (it == links_.end())
        return InvalidLink;
    for (const auto& c : connections_)
        if (c->id == it->second->connection && !c->waiting.empty()) {
            c->waitAborted = true;
            waitTimer_->start(0);
        }
    return NoError;
}

// What a newcomer may not take: a link holding its device's lock or the
// front panel's, or one whose connection waits for a lock.
bool Vxi11Server::keeps(const Link& l) const {
    if (l.device->holdsLock(*l.session) || l.device->lockHolder() == l.session.get())
        return true;
    return std::any_of(connections_.begin(), connections_.end(), [&l](const auto& c) {
        return c->id == l.connection && !c->waiting.empty();
    });
}

// The link that made no call for longest gives way, once that is long enough.
bool Vxi11Server::freeLink() {
    clients::Idlest<Link> idlest(limits_.takeover);
    for (const auto& [id, l] : links_)
        if (!keeps(*l))
            idlest.offer(l.get(), l->lastCall.elapsed());
    if (Link* l = idlest.found()) {
        destroyLink(l->id);
        return true;
    }
    return false;
}

// So does the connection that sent nothing for longest, with every link it made.
bool Vxi11Server::freeConnection() {
    const auto kept = [this](const Connection& c) {
        return !c.waiting.empty() || std::any_of(links_.begin(), links_.end(), [&](const auto& l) {
            return l.second->connection == c.id && keeps(*l.second);
        });
    };
    clients::Idlest<Connection> idlest(limits_.takeover);
    for (const auto& c : connections_)
        if (!kept(*c))
            idlest.offer(c.get(), c->lastByte.elapsed());
    if (Connection* c = idlest.found()) {
        drop(*c);
        return true;
    }
    return false;
}

// The message's lines run as they end; at END a line under way ends too.
int Vxi11Server::write(Link& l, const char* data, size_t size, bool end) {
    l.output += l.device->feed(*l.session, l.reader, data, size, end);
    requestService(l);
    return NoError;
}

int Vxi11Server::read(Link& l, size_t requestSize, int termChar, std::string& data, long& reason) {
    if (l.outputAt >= l.output.size())
        return IoTimeout; // nothing to read: a query that failed answers nothing
    size_t count = std::min(requestSize, l.output.size() - l.outputAt);
    reason = 0;
    if (termChar >= 0) {
        const size_t at = l.output.find(static_cast<char>(termChar), l.outputAt);
        if (at != std::string::npos && at < l.outputAt + count) {
            count = at + 1 - l.outputAt;
            reason |= TermChar;
        }
    }
    data.assign(l.output, l.outputAt, count);
    l.outputAt += count;
    if (l.outputAt >= l.output.size()) {
        reason |= End;
        l.output.clear();
        l.outputAt = 0;
    } else if (count == requestSize) {
        reason |= RequestCount;
    }
    return NoError;
}

// VXI-11's lock is the device's exclusive lock; a link that holds it may ask again.
int Vxi11Server::lock(Link& l) {
    return l.device->lockExclusive(*l.session) == ScpiDevice::Grant::Busy ? LockedByAnother
                                                                          : NoError;
}

int Vxi11Server::unlock(Link& l) {
    return l.device->unlockExclusive(*l.session) ? NoError : NoLockHeld;
}

// IEEE 488.2's device clear: what the link was sending and what it has not
// read are dropped; its status stays.
void Vxi11Server::clear(Link& l) {
    l.reader = scpi::LineReader();
    l.output.clear();
    l.outputAt = 0;
}

unsigned char Vxi11Server::statusByte(Link& l) {
    const unsigned char stb = l.session->statusByte();
    l.requested = (stb & 0x40) != 0;
    return stb;
}

void Vxi11Server::enableSrq(Link& l, bool enable, const std::string& handle) {
    l.srqEnabled = enable;
    l.srqHandle = handle;
}

int Vxi11Server::createInterruptChannel(int connection, unsigned long address, unsigned short port,
                                        unsigned long program, unsigned long version) {
    if (interrupts_.count(connection))
        return ChannelEstablished;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(static_cast<uint32_t>(address));
    int socket = RPC_ANYSOCK;
    auto interrupt = std::make_unique<Interrupt>();
    interrupt->client = clnttcp_create(&a, program, version, &socket, 0, 0);
    if (!interrupt->client)
        return OutOfResources;
    interrupts_[connection] = std::move(interrupt);
    return NoError;
}

void Vxi11Server::destroyInterruptChannel(int connection) {
    interrupts_.erase(connection);
}

// When the status byte's request bit rises, a client that asked is told
// through its interrupt channel (a call that waits for no reply).
void Vxi11Server::requestService(Link& l) {
    const bool was = l.requested;
    const bool now = (l.session->statusByte() & 0x40) != 0;
    l.requested = now;
    if (!now || was || !l.srqEnabled)
        return;
    const auto it = interrupts_.find(l.connection);
    if (it == interrupts_.end())
        return;
    Device_SrqParms parms{};
    parms.handle.handle_len = static_cast<u_int>(l.srqHandle.size());
    parms.handle.handle_val = l.srqHandle.data();
    timeval none{0, 0};
    clnt_call(it->second->client, device_intr_srq, reinterpret_cast<xdrproc_t>(xdr_Device_SrqParms),
              reinterpret_cast<caddr_t>(&parms),
              reinterpret_cast<xdrproc_t>(reinterpret_cast<void*>(xdr_void)), nullptr, none);
}
