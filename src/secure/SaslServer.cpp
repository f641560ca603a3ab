#include "SaslServer.h"

#include <gsasl.h>

#include "Credentials.h"

struct SaslServer::Calls {
    static int Callback(Gsasl*, Gsasl_session* session, Gsasl_property property) {
        auto* self = static_cast<SaslServer*>(gsasl_session_hook_get(session));
        if (!self)
            return GSASL_NO_CALLBACK;
        const char* authid = gsasl_property_fast(session, GSASL_AUTHID);
        const char* authzid = gsasl_property_fast(session, GSASL_AUTHZID);
        const QString name = QString::fromUtf8(authid ? authid : "");
        // Acting for another user is not offered.
        if (authzid && *authzid && QString::fromUtf8(authzid) != name &&
            property != GSASL_VALIDATE_ANONYMOUS)
            return GSASL_AUTHENTICATION_ERROR;
        switch (property) {
        case GSASL_VALIDATE_SIMPLE: {
            const char* password = gsasl_property_fast(session, GSASL_PASSWORD);
            if (!authid || !password || !self->users_.check(name, QByteArray(password)))
                return GSASL_AUTHENTICATION_ERROR;
            return GSASL_OK;
        }
        case GSASL_VALIDATE_ANONYMOUS:
            return self->anonymous_ ? GSASL_OK : GSASL_AUTHENTICATION_ERROR;
        case GSASL_SCRAM_ITER:
        case GSASL_SCRAM_SALT:
        case GSASL_SCRAM_STOREDKEY:
        case GSASL_SCRAM_SERVERKEY: {
            const Credentials::Scram s = self->users_.scram(name);
            gsasl_property_set(session, GSASL_SCRAM_ITER,
                               QByteArray::number(s.iterations).constData());
            gsasl_property_set(session, GSASL_SCRAM_SALT, s.salt.constData());
            gsasl_property_set(session, GSASL_SCRAM_STOREDKEY, s.storedKey.constData());
            gsasl_property_set(session, GSASL_SCRAM_SERVERKEY, s.serverKey.constData());
            return GSASL_OK;
        }
        default:
            return GSASL_NO_CALLBACK; // never a password in clear
        }
    }
};

namespace {

Gsasl* Library() {
    static Gsasl* const library = [] {
        Gsasl* made = nullptr;
        if (gsasl_init(&made) != GSASL_OK)
            return static_cast<Gsasl*>(nullptr);
        gsasl_callback_set(made, &SaslServer::Calls::Callback);
        return made;
    }();
    return library;
}

} // namespace

SaslServer::SaslServer(const Credentials& users, bool anonymous)
    : users_(users), anonymous_(anonymous) {}

SaslServer::~SaslServer() {
    if (session_)
        gsasl_finish(static_cast<Gsasl_session*>(session_));
}

QByteArray SaslServer::Mechanisms(bool anonymous) {
    return anonymous ? "SCRAM-SHA-256 PLAIN ANONYMOUS" : "SCRAM-SHA-256 PLAIN";
}

bool SaslServer::start(const QByteArray& mechanism, QString& error) {
    if (session_) {
        error = "an authentication is under way";
        return false;
    }
    if (!mechanisms().split(' ').contains(mechanism)) {
        error = "the mechanism '" + QString::fromLatin1(mechanism.left(32)) + "' is not offered";
        return false;
    }
    Gsasl_session* session = nullptr;
    if (!Library() || gsasl_server_start(Library(), mechanism.constData(), &session) != GSASL_OK) {
        error = "the mechanism " + QString::fromLatin1(mechanism) + " cannot be started";
        return false;
    }
    gsasl_session_hook_set(session, this);
    session_ = session;
    mechanism_ = QString::fromLatin1(mechanism);
    user_.clear();
    error_.clear();
    return true;
}

SaslServer::Step SaslServer::step(const QByteArray& in, QByteArray& out) {
    auto* session = static_cast<Gsasl_session*>(session_);
    if (!session) {
        error_ = "no authentication was started";
        return Step::Failed;
    }
    char* reply = nullptr;
    size_t replySize = 0;
    const int r =
        gsasl_step(session, in.constData(), static_cast<size_t>(in.size()), &reply, &replySize);
    out = QByteArray(reply, static_cast<qsizetype>(replySize));
    gsasl_free(reply);
    if (r == GSASL_NEEDS_MORE)
        return Step::More;
    const char* authid = gsasl_property_fast(session, GSASL_AUTHID);
    user_ = mechanism_ == "ANONYMOUS" ? QString("anonymous") : QString::fromUtf8(authid);
    if (r != GSASL_OK) {
        error_ = r == GSASL_AUTHENTICATION_ERROR ? QString("wrong user or password")
                                                 : QString::fromUtf8(gsasl_strerror(r));
    }
    gsasl_finish(session);
    session_ = nullptr;
    return r == GSASL_OK ? Step::Done : Step::Failed;
}
