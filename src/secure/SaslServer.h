// One client's SASL authentication, the server's side (GNU SASL): the
// mechanisms SCRAM-SHA-256 and PLAIN (offered only under TLS, which the
// caller sees to), and ANONYMOUS where the caller allows it. The users
// are checked against their SCRAM verifiers or password hashes, never
// against a password kept in clear.
#pragma once

#include <QByteArray>
#include <QString>

class Credentials;

class SaslServer {
public:
    // `users` outlive it.
    SaslServer(const Credentials& users, bool anonymous);
    ~SaslServer();
    SaslServer(const SaslServer&) = delete;
    SaslServer& operator=(const SaslServer&) = delete;

    // The mechanisms offered, separated by spaces: "SCRAM-SHA-256 PLAIN"
    // (and ANONYMOUS where it is allowed).
    static QByteArray Mechanisms(bool anonymous);
    QByteArray mechanisms() const { return Mechanisms(anonymous_); }

    // Begins an exchange with a mechanism offered; false, with the reason,
    // for any other (or while one is under way).
    bool start(const QByteArray& mechanism, QString& error);

    enum class Step { More, Done, Failed };
    // The client's message; what to send back into `out`. Done: the client
    // is who it said (user()); Failed: it is not, or its message was none
    // of the mechanism's (error()).
    Step step(const QByteArray& in, QByteArray& out);

    // Who the client said it is (once Done: who it is).
    QString user() const { return user_; }
    QString mechanism() const { return mechanism_; }
    QString error() const { return error_; }
    bool anonymous() const { return anonymous_; }

    // GNU SASL's callback, with the server.
    struct Calls;

private:
    const Credentials& users_;
    bool anonymous_;
    void* session_ = nullptr; // Gsasl_session
    QString mechanism_, user_, error_;
};
