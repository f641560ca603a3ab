// Who may do what to the card over the network, shared by the servers:
// the users who may change it, whether those who have not signed in may
// still ask it (queries), TLS where it is offered, secure mode (nothing in
// clear, nobody unauthenticated) and the brake on guessed passwords.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "Credentials.h"
#include "LoginGuard.h"
#include "TlsChannel.h"

struct Access {
    Credentials users;       // none: nobody needs to sign in
    bool queriesOpen = true; // clients not signed in may ask (queries) though not change
    bool anonymous = false;  // SASL ANONYMOUS offered: signs in nobody who may change
    bool secure = false;     // served only over TLS, to clients that authenticated
    std::shared_ptr<TlsCredentials> tls; // none: no TLS offered
    LoginGuard guard;
    // An attempt to sign in: the peer ("192.0.2.7:40112"), the transport,
    // the user named, and why it failed (empty: it succeeded).
    std::function<void(const QString& peer, const QString& transport, const QString& user,
                       const QString& why)>
        attempted;

    // Whether changing the card asks for a user who signed in.
    bool signInRequired() const { return secure || !users.empty(); }
};
