// A VXI-11 server's links: made and given up, their messages run on their
// device's sessions, their locks, and the service requests they ask for.
#include <QRandomGenerator>
#include <algorithm>

#include "ClientSockets.h"
#include "Vxi11Parts.h"
#include "vxi11.h"

// A call naming a link counts as the link's activity; another connection's
// link is not there for it.
Vxi11Server::Link* Vxi11Server::link(int connection, long id) {
    const auto it = links_.find(id);
    if (it == links_.end() || it->second->connection != connection)
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
    // Not a count: a link's id tells nothing of the others'.
    do
        l->id = static_cast<long>(QRandomGenerator::system()->bounded(1u, 0x7FFFFFFFu));
    while (links_.count(l->id));
    l->connection = connection;
    if (const Connection* c = this->connection(connection)) {
        l->peer = c->peer;
        l->address = c->address;
    }
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

unsigned long Vxi11Server::lockWaitCap() const {
    return static_cast<unsigned long>(std::max<qint64>(limits_.lockWait.count(), 0));
}

// Only a client at the address that made the link may end its wait.
int Vxi11Server::abort(int connection, long id) {
    const auto it = links_.find(id);
    const Connection* from = this->connection(connection);
    if (it == links_.end() || !from || from->address != it->second->address)
        return InvalidLink;
    if (Connection* c = this->connection(it->second->connection); c && !c->waiting.empty()) {
        c->waitAborted = true;
        waitTimer_->start(0);
    }
    return NoError;
}

// What a newcomer may not take: a link holding its device's lock or the
// front panel's.
bool Vxi11Server::keeps(const Link& l) const {
    return l.device->holdsLock(*l.session) || l.device->lockHolder() == l.session.get();
}

// A link whose connection waits has been idle since the call came.
qint64 Vxi11Server::idleMs(const Link& l) const {
    const Connection* c = connection(l.connection);
    return c && !c->waiting.empty() ? c->waitingSince.elapsed() : l.lastCall.elapsed();
}

// The link that made no call for longest gives way, once that is long enough.
bool Vxi11Server::freeLink() {
    clients::Idlest<Link> idlest(limits_.takeover);
    for (const auto& [id, l] : links_)
        if (!keeps(*l))
            idlest.offer(l.get(), idleMs(*l));
    if (Link* l = idlest.found()) {
        destroyLink(l->id);
        return true;
    }
    return false;
}

// So does the connection that sent nothing for longest, with every link it
// made (one waiting for a lock sends nothing meanwhile).
bool Vxi11Server::freeConnection() {
    const auto kept = [this](const Connection& c) {
        return std::any_of(links_.begin(), links_.end(), [&](const auto& l) {
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

// The message's lines run as they end; at END a line under way ends too. A
// new message while an answer is unread interrupts that answer (IEEE 488.2's
// query interrupted): it is dropped.
int Vxi11Server::write(Link& l, const char* data, size_t size, bool end) {
    if (!l.messageOpen && l.outputAt < l.output.size()) {
        l.output.clear();
        l.outputAt = 0;
        l.session->error(scpi::QueryInterrupted);
    }
    l.messageOpen = !end;
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
        // Message-available falls: a request it made ends, the next rises anew.
        l.requested = (l.session->statusByte() & 0x40) != 0;
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
    l.messageOpen = false;
}

// With message-available while an answer waits to be read.
unsigned char Vxi11Server::statusByte(Link& l) {
    const unsigned char stb = l.session->statusByte(l.outputAt < l.output.size());
    l.requested = (stb & 0x40) != 0;
    return stb;
}

void Vxi11Server::enableSrq(Link& l, bool enable, const std::string& handle) {
    l.srqEnabled = enable;
    l.srqHandle = handle;
}

// When the status byte's request bit rises, a client that asked is told
// through its interrupt channel.
void Vxi11Server::requestService(Link& l) {
    const bool was = l.requested;
    const bool now = (l.session->statusByte(l.outputAt < l.output.size()) & 0x40) != 0;
    l.requested = now;
    if (now && !was && l.srqEnabled)
        sendInterrupt(l.connection, l.srqHandle);
}
