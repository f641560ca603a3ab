// HiSLIP 2.0's secure connection and authentication. The client asks on the
// asynchronous channel (AsyncStartTLS; the answer, in clear, is 1 for yes, 0
// while a message or response is under way, 3 when none is offered), the
// TLS handshake follows there, then StartTLS on the synchronous channel and
// its handshake. Over both, GetSaslMechanismList lists the mechanisms,
// AuthenticationStart names one, AuthenticationExchange carries the
// mechanism's messages both ways, and AuthenticationResult ends it (control
// code 1: authenticated, with the mechanism's last data; 0: not, with why).
// AsyncEndTLS and EndTLS go back to clear, where secure mode does not
// forbid it. The sign-in guard makes attempts wait before they are checked.
#include <QTimer>

#include "HislipParts.h"

namespace {

using namespace hislip;

enum : uint8_t { TlsBusy = 0, TlsSuccess = 1, TlsError = 3 };
enum : uint8_t { AuthFailed = 0, AuthSucceeded = 1 };
// InitializeResponse's and the device clear acknowledgements' features.
constexpr uint8_t kEncryptionMode = 0x02, kInitialEncryption = 0x04;

} // namespace

uint8_t HislipServer::features(const Session& s) const {
    return s.access && s.access->secure && s.access->tls ? kEncryptionMode | kInitialEncryption : 0;
}

bool HislipServer::encrypted(const Session& s) const {
    const auto open = [](const Channel* c) {
        return c && c->tls && c->tls->state() == TlsChannel::State::Open && !c->tlsEnding;
    };
    return open(s.sync) && open(s.async);
}

bool HislipServer::securityMissing(const Session& s) const {
    if (s.async && s.async->tls && !(s.sync && s.sync->tls))
        return true; // between AsyncStartTLS and StartTLS
    return s.access && s.access->secure && (!encrypted(s) || s.device->userOf(*s.link).isEmpty());
}

void HislipServer::onStartTls(Session& s, const Header&) {
    Channel& a = *s.async;
    if (!s.access || !s.access->tls || s.version < kVersion || a.tls)
        return send(a, AsyncStartTLSResponse, TlsError, 0);
    if (!s.sending.empty() || !s.output.empty() || (s.sync && s.sync->holding))
        return send(a, AsyncStartTLSResponse, TlsBusy, 0);
    send(a, AsyncStartTLSResponse, TlsSuccess, 0);
    a.tls = std::make_unique<TlsChannel>(s.access->tls);
    a.tlsStarting = true;
}

// Back to clear: the answer goes through TLS, then close_notify; the
// client's close_notify ends TLS on each channel (EndTLS on the synchronous one).
void HislipServer::onEndTls(Session& s) {
    Channel& a = *s.async;
    if (!a.tls || s.access->secure || a.tlsEnding)
        return send(a, AsyncEndTLSResponse, TlsError, 0);
    if (!s.sending.empty() || !s.output.empty() || (s.sync && s.sync->holding))
        return send(a, AsyncEndTLSResponse, TlsBusy, 0);
    send(a, AsyncEndTLSResponse, TlsSuccess, 0);
    QByteArray wire;
    a.tls->close(wire);
    a.socket->write(wire);
    a.tlsEnding = true;
    s.endingTls = true;
}

// The synchronous channel's messages of the secure connection; false for
// any other, and for these where no secure connection is offered.
bool HislipServer::onSecure(Session& s, const Header& h, const std::string& payload) {
    if (!s.access || !s.access->tls)
        return false; // none of it is offered
    Channel& c = *s.sync;
    switch (h.type) {
    case StartTLS:
        if (c.tls || !s.async->tls || s.endingTls)
            refuse(c, UnidentifiedError, "StartTLS follows a successful AsyncStartTLS");
        else {
            c.tls = std::make_unique<TlsChannel>(s.access->tls);
            c.tlsStarting = true;
        }
        return true;
    case EndTLS:
        if (!c.tls || c.tlsEnding || !s.endingTls)
            refuse(c, UnidentifiedError, "EndTLS follows a successful AsyncEndTLS");
        else {
            s.endingTls = false;
            QByteArray wire;
            c.tls->close(wire);
            c.socket->write(wire);
            c.tlsEnding = true;
        }
        return true;
    case GetSaslMechanismList:
    case AuthenticationStart:
    case AuthenticationExchange:
        if (!encrypted(s))
            refuse(c, UnidentifiedError, "authentication only over the secure connection");
        else if (h.type == GetSaslMechanismList)
            send(c, GetSaslMechanismListResponse, 0, 0,
                 SaslServer::Mechanisms(s.access->anonymous).toStdString());
        else if (h.type == AuthenticationStart)
            authenticate(s, h, payload);
        else
            exchange(s, payload);
        return true;
    default:
        return false;
    }
}

// An attempt begins: checked once the guard lets it (the channel holds it
// meanwhile, and reads nothing more).
void HislipServer::authenticate(Session& s, const Header& h, const std::string& payload) {
    Channel& c = *s.sync;
    if (s.authAt == 0) {
        const qint64 wait = s.access->guard.admit(s.address).count();
        s.authAt = clock_.elapsed() + std::max<qint64>(wait, 1);
        if (wait > 0) {
            c.holding = true;
            c.held = h;
            c.heldPayload = payload;
            QTimer::singleShot(static_cast<int>(wait), resumeTimer_,
                               [t = resumeTimer_] { t->start(0); });
            return;
        }
    }
    s.authAt = 0;
    s.sasl = std::make_unique<SaslServer>(s.access->users, s.access->anonymous);
    QString error;
    if (!s.sasl->start(QByteArray::fromStdString(payload), error)) {
        s.sasl.reset();
        send(c, AuthenticationResult, AuthFailed, 0, error.toStdString());
    }
}

void HislipServer::exchange(Session& s, const std::string& payload) {
    Channel& c = *s.sync;
    if (!s.sasl)
        return refuse(c, UnidentifiedError, "AuthenticationStart comes first");
    QByteArray out;
    const auto step = s.sasl->step(QByteArray::fromStdString(payload), out);
    if (step == SaslServer::Step::More)
        return send(c, AuthenticationExchange, 0, 0, out.toStdString());
    const std::unique_ptr<SaslServer> done = std::move(s.sasl);
    const QString peer = s.peer;
    if (step == SaslServer::Step::Done) {
        s.access->guard.succeeded(s.address);
        s.device->signIn(*s.link, done->user(), done->mechanism() != "ANONYMOUS");
        send(c, AuthenticationResult, AuthSucceeded, 0, out.toStdString());
    } else {
        s.access->guard.failed(s.address);
        send(c, AuthenticationResult, AuthFailed, 0, done->error().toStdString());
    }
    if (s.access->attempted)
        s.access->attempted(peer, "HiSLIP", done->user(),
                            step == SaslServer::Step::Done ? QString() : done->error());
}

// TLS failing closes the session; the client's close_notify after
// AsyncEndTLS or EndTLS ends TLS, and what follows it is clear.
QByteArray HislipServer::decrypt(Channel& c, const QByteArray& bytes) {
    QByteArray plain, wire;
    const auto state = c.tls->take(bytes.constData(), size_t(bytes.size()), plain, wire);
    if (!wire.isEmpty())
        c.socket->write(wire);
    if (state == TlsChannel::State::Open && !c.beforeTls.isEmpty()) {
        const QByteArray waiting = std::exchange(c.beforeTls, {});
        write(c, waiting);
    }
    if (state == TlsChannel::State::Failed) {
        closeLater(c);
        return {};
    }
    c.socket->flush();
    return plain;
}

// The client's close_notify came: after AsyncEndTLS or EndTLS (which may
// have come with it, in what it carried) the channel is clear again, what
// followed it read as such; otherwise the channel is closed.
void HislipServer::endTls(Channel& c) {
    if (!c.tls || c.tls->state() != TlsChannel::State::Closed)
        return;
    if (!c.tlsEnding)
        return closeLater(c);
    c.in += c.tls->rest();
    c.tls.reset();
    c.tlsEnding = false;
}
