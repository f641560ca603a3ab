// A HiSLIP session's conversation: its initialization, the device's
// messages and responses on the synchronous channel, and the asynchronous
// channel's device clear, status byte, service requests, locks and remote
// and local control.
#include <QRandomGenerator>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>

#include "HislipParts.h"

namespace {

using namespace hislip;

// The status byte's request-service bit.
constexpr uint8_t kRqs = 0x40;
// The synchronous channel's messages carry "the client has read the last
// response" (RMT delivered) in bit 0 of their control code.
constexpr uint8_t kRmtDelivered = 0x01;
// AsyncLock's control codes, and AsyncLockResponse's.
enum : uint8_t { Release = 0, Request = 1 };
enum : uint8_t { LockFailed = 0, LockGranted = 1, SharedReleased = 2, LockError = 3 };

} // namespace

// The synchronous channel's first message: the client's version and the
// device it asks for ("hislip0" when it names none). The session speaks the
// older of both versions, in synchronized mode.
void HislipServer::initialize(const ChannelPtr& c, const Header& h, const std::string& payload) {
    ScpiDevice* device =
        devices_.named(payload.empty() ? QStringLiteral("hislip0") : QString::fromLatin1(payload));
    if (!device)
        return fatal(*c, InvalidInitialization, "no such device on this server");
    if (static_cast<int>(sessions_.size()) >= kMaxSessions && !freeSession())
        return fatal(*c, TooManyClients, "every session is taken");
    auto s = std::make_unique<Session>();
    // Drawn, not counted: one session's id tells nothing of the next one's.
    const auto taken = [this](uint16_t id) {
        return std::any_of(sessions_.begin(), sessions_.end(),
                           [id](const auto& o) { return o->id == id; });
    };
    do
        s->id = static_cast<uint16_t>(QRandomGenerator::system()->bounded(1u, 0x10000u));
    while (taken(s->id));
    s->version = std::min<uint16_t>(static_cast<uint16_t>(h.parameter >> 16), kVersion);
    s->device = device;
    s->access = accessOf(*device);
    s->address = c->address;
    s->peer = c->peer;
    s->link = device->openLink(c->peer + " (HiSLIP)");
    s->sync = c.get();
    s->lastMessage.start();
    c->role = Channel::Role::Sync;
    c->session = s->id;
    c->reader.setMaxPayload(kMaxMessage - kHeaderSize);
    const uint32_t parameter = (uint32_t(s->version) << 16) | s->id;
    sessions_.push_back(std::move(s));
    send(*c, InitializeResponse, features(*sessions_.back()), parameter); // synchronized mode
    emit sessionsChanged();
}

// The asynchronous channel's first message names its session, which takes
// it only from the address its synchronous channel came from.
void HislipServer::initializeAsync(const ChannelPtr& c, const Header& h) {
    const auto it = std::find_if(sessions_.begin(), sessions_.end(), [&h, &c](const auto& s) {
        return s->id == (h.parameter & 0xFFFF) && !s->async && s->address == c->address;
    });
    if (h.parameter > 0xFFFF || it == sessions_.end())
        return fatal(*c, InvalidInitialization, "no session waits for this asynchronous channel");
    (*it)->async = c.get();
    c->role = Channel::Role::Async;
    c->session = (*it)->id;
    // Bit 0: a secure connection is offered.
    send(*c, AsyncInitializeResponse, (*it)->access && (*it)->access->tls ? 1 : 0, kVendorId);
}

void HislipServer::onSync(Session& s, const Header& h, const std::string& payload) {
    Channel& c = *s.sync;
    switch (h.type) {
    case Data:
    case DataEnd:
    case Trigger:
        if (s.clearing)
            return; // discarded until the clear completes
        if (securityMissing(s))
            return fatal(c, UnidentifiedFatal,
                         "this server takes messages only over a secure connection, from an "
                         "authenticated client");
        if (s.device->heldOff(*s.link)) { // another link's lock: it waits
            c.holding = true;
            c.held = h;
            c.heldPayload = payload;
            c.heldSince.start();
            return;
        }
        return onData(s, h, payload);
    case DeviceClearComplete:
        s.clearing = false;
        s.messageId = kFirstMessageId;
        return send(c, DeviceClearAcknowledge, features(s), 0); // synchronized mode
    case GetDescriptors:
        return send(c, GetDescriptorsResponse, 0, 0); // no descriptors to offer
    case FatalError:
        return dropSession(s);
    case Error:
        return; // the client's; nothing to undo
    default:
        if (!onSecure(s, h, payload))
            refuse(c, UnrecognizedType, "not a message of the synchronous channel");
        return;
    }
}

// A message of the device: its lines run as they end, and at DataEnd the
// response goes back with the message's id. A message sent while a response
// is unread interrupts that response.
void HislipServer::onData(Session& s, const Header& h, const std::string& payload) {
    s.lastMessage.start();
    if (h.control & kRmtDelivered) {
        s.responsePending = false;
    } else if (s.responsePending) {
        s.responsePending = false;
        s.link->error(scpi::QueryInterrupted);
        send(*s.sync, Interrupted, 0, h.parameter);
        send(*s.async, AsyncInterrupted, 0, h.parameter);
    }
    s.messageId = h.parameter;
    if (h.type == Trigger)
        s.link->error(scpi::TriggerIgnored, "the card takes no trigger from a client");
    else
        s.output +=
            s.device->feed(*s.link, s.reader, payload.data(), payload.size(), h.type == DataEnd);
    if (s.output.size() > size_t(kMaxUnread))
        return closeLater(*s.sync); // the answers of a message that never ends
    if (h.type == DataEnd)
        respond(s);
    requestService(s);
}

// The response in messages the client takes (Data, then DataEnd), sent a
// slice at a time: however small the client's messages, the others are
// served between slices.
void HislipServer::respond(Session& s) {
    if (s.output.empty())
        return;
    s.sending = std::move(s.output);
    s.output.clear();
    s.sendingAt = 0;
    s.sendingId = s.messageId;
    s.responsePending = true;
    sendSome(s);
}

// A slice now; the next once the socket has room (bytesWritten) or at the
// next turn. The synchronous channel reads on once the last is sent.
void HislipServer::sendSome(Session& s) {
    Channel* c = s.sync;
    if (!c || c->gone || c->closing || !c->socket) {
        s.sending.clear();
        return;
    }
    // bytesWritten brings it back: when the socket has room again, or from
    // within the write below (then the slice under way goes on first).
    if (s.slicing || c->socket->bytesToWrite() > kSendAhead)
        return;
    const QScopedValueRollback slicing(s.slicing, true);
    const uint64_t most = std::max<uint64_t>(s.clientMax, kHeaderSize + 1) - kHeaderSize;
    const std::string_view all = s.sending;
    std::string slice;
    while (s.sendingAt < all.size() && slice.size() < kSliceBytes) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(most, all.size() - s.sendingAt));
        const bool last = s.sendingAt + n == all.size();
        EncodeTo(slice, last ? DataEnd : Data, 0, s.sendingId, all.substr(s.sendingAt, n));
        s.sendingAt += n;
    }
    write(*c, QByteArray(slice.data(), static_cast<qsizetype>(slice.size())));
    if (s.sendingAt < all.size()) {
        QTimer::singleShot(0, this, [this, id = s.id] {
            for (const auto& k : sessions_)
                if (k->id == id && !k->sending.empty())
                    sendSome(*k);
        });
        return;
    }
    s.sending.clear();
    s.sendingAt = 0;
    readLater(*c);
}

// When the status byte's request bit rises (message-available counts), the
// client is told.
void HislipServer::requestService(Session& s) {
    const uint8_t stb = s.link->statusByte(s.responsePending);
    const bool was = s.requested;
    s.requested = (stb & kRqs) != 0;
    if (s.requested && !was && s.async)
        send(*s.async, AsyncServiceRequest, stb, 0);
}

void HislipServer::onAsync(Session& s, const Header& h, const std::string& payload) {
    Channel& a = *s.async;
    switch (h.type) {
    case AsyncLock:
        a.heldSince.invalidate();
        return onLock(s, h, payload);
    case AsyncLockInfo:
        return send(a, AsyncLockInfoResponse, s.device->exclusivelyLocked() ? 1 : 0,
                    static_cast<uint32_t>(s.device->lockHolderCount()));
    case AsyncRemoteLocalControl:
        return onRemoteLocal(s, h);
    case AsyncMaximumMessageSize:
        if (payload.size() == 8)
            s.clientMax = Size64(payload);
        return send(a, AsyncMaximumMessageSizeResponse, 0, 0, Size64(kMaxMessage));
    case AsyncDeviceClear:
        deviceClear(s);
        return send(a, AsyncDeviceClearAcknowledge, features(s), 0); // synchronized mode
    case AsyncStatusQuery: {
        if (h.control & kRmtDelivered)
            s.responsePending = false;
        const uint8_t stb = s.link->statusByte(s.responsePending);
        s.requested = (stb & kRqs) != 0;
        return send(a, AsyncStatusResponse, stb, 0);
    }
    case AsyncStartTLS:
        return onStartTls(s, h);
    case AsyncEndTLS:
        return onEndTls(s);
    case FatalError:
        return dropSession(s);
    case Error:
        return;
    default:
        return refuse(a, UnrecognizedType, "not a message of the asynchronous channel");
    }
}

// IEEE 488.2's device clear: what the session was sending and the response
// not read are dropped (its registers stay), a message waiting for a lock
// too; the synchronous channel's messages are discarded until
// DeviceClearComplete.
void HislipServer::deviceClear(Session& s) {
    s.reader = scpi::LineReader();
    s.output.clear();
    if (!s.sending.empty() && s.sync) { // the rest of a response under way is not sent
        s.sending.clear();
        s.sendingAt = 0;
        readLater(*s.sync);
    }
    s.responsePending = false;
    s.clearing = true;
    if (s.sync && s.sync->holding) {
        s.sync->holding = false;
        s.sync->heldPayload.clear();
        for (const auto& c : channels_) // its channel reads on, what it holds discarded
            if (c.get() == s.sync)
                QTimer::singleShot(0, this, [this, weak = std::weak_ptr<Channel>(c)] {
                    if (const auto k = weak.lock())
                        read(k);
                });
    }
}

// A lock request: exclusive with no lock string, shared by the string
// otherwise; waited for up to the time it gives (ms). A release gives up
// the exclusive lock first, then the shared one.
void HislipServer::onLock(Session& s, const Header& h, const std::string& key) {
    Channel& a = *s.async;
    if (h.control == Release) {
        const uint8_t answer = s.device->unlockExclusive(*s.link) ? LockGranted
                               : s.device->unlockShared(*s.link)  ? SharedReleased
                                                                  : LockError;
        return send(a, AsyncLockResponse, answer, 0);
    }
    if (h.control != Request)
        return refuse(a, UnrecognizedControlCode, "AsyncLock requests or releases");
    const auto grant =
        key.empty() ? s.device->lockExclusive(*s.link) : s.device->lockShared(*s.link, key);
    const qint64 waited = a.heldSince.isValid() ? a.heldSince.elapsed() : 0;
    const qint64 wait = std::min<qint64>(h.parameter, limits_.lockWait.count());
    if (grant == ScpiDevice::Grant::Busy && waited < wait) {
        if (!a.heldSince.isValid()) {
            a.heldSince.start();
            resumeTimer_->start(0); // sets the timer for its time
        }
        a.holding = true;
        a.held = h;
        a.heldPayload = key;
        return;
    }
    a.heldSince.invalidate();
    send(a, AsyncLockResponse,
         grant == ScpiDevice::Grant::Granted       ? LockGranted
         : grant == ScpiDevice::Grant::AlreadyHeld ? LockError
                                                   : LockFailed,
         0);
}

// Remote and local as a GPIB controller has them, onto the front panel's
// lock: local lockout locks the front panel out (as SYSTem:RWLock), going to
// local or disabling remote gives it back (as SYSTem:LOCal).
void HislipServer::onRemoteLocal(Session& s, const Header& h) {
    switch (h.control) {
    case 0: // disable remote
    case 2: // disable remote and go to local
    case 6: // go to local
        if (s.device->lockHolder())
            s.device->unlock();
        break;
    case 4: // enable remote and lock out local
    case 5: // enable remote, go to remote and lock out local
        s.device->lockFrontPanel(*s.link);
        break;
    case 1: // enable remote
    case 3: // enable remote and go to remote
        break;
    default:
        return refuse(*s.async, UnrecognizedControlCode, "no such remote or local control");
    }
    send(*s.async, AsyncRemoteLocalResponse, 0, 0);
}
