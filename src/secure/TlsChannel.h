// TLS on a connection the program already reads and writes itself (HiSLIP's
// channels once a client asks for a secure connection): a GnuTLS server
// session fed the bytes that come and giving back those to send, so the
// event loop never waits on it. TLS 1.2 and 1.3; a client asking to
// renegotiate is refused and the channel fails.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string_view>

#include "TlsIdentity.h"

// The certificate and the protocol choices, shared by every channel of a server.
class TlsCredentials {
public:
    // None, with the reason, when GnuTLS does not take the identity.
    static std::shared_ptr<TlsCredentials> Make(const TlsIdentity& identity, QString& error);
    ~TlsCredentials();
    const TlsIdentity& identity() const { return identity_; }

private:
    TlsCredentials() = default;
    friend class TlsChannel;
    TlsIdentity identity_;
    void* certificates_ = nullptr; // gnutls_certificate_credentials_t
    void* priority_ = nullptr;     // gnutls_priority_t
};

class TlsChannel {
public:
    enum class State { Handshake, Open, Closed, Failed };

    explicit TlsChannel(std::shared_ptr<const TlsCredentials> credentials);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Bytes from the client: what it sent in clear is appended to `plain`,
    // what is to be written to it (the handshake's, alerts) to `wire`.
    State take(const char* data, size_t size, QByteArray& plain, QByteArray& wire);
    // Clear bytes to the client, encrypted into `wire` (nothing unless open).
    void send(std::string_view plain, QByteArray& wire);
    // The close_notify alert into `wire`: nothing more is sent, and the
    // channel is closed once the client's close_notify comes (what it sent
    // before is still taken).
    void close(QByteArray& wire);

    State state() const { return state_; }
    // Once closed: the bytes that came after the client's close_notify
    // (clear again), taken out.
    QByteArray rest();
    // Why it failed.
    QString error() const { return error_; }

private:
    struct Io;
    void fail(int code, QByteArray& wire);
    std::shared_ptr<const TlsCredentials> credentials_;
    std::unique_ptr<Io> io_;
    State state_ = State::Handshake;
    bool closing_ = false;
    QString error_;
};
