#include "TlsChannel.h"

#include <cerrno>
#include <cstring>
#include <gnutls/gnutls.h>
#include <utility>

namespace {

// TLS 1.2 and 1.3 only, GnuTLS's choice of ciphers within them.
constexpr const char* kPriority = "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:%SAFE_RENEGOTIATION";
// What one record may give at most (the rest waits for the next call).
constexpr size_t kRecord = 16 * 1024 + 256;

} // namespace

std::shared_ptr<TlsCredentials> TlsCredentials::Make(const TlsIdentity& identity, QString& error) {
    std::shared_ptr<TlsCredentials> made(new TlsCredentials);
    made->identity_ = identity;
    gnutls_certificate_credentials_t certificates = nullptr;
    gnutls_certificate_allocate_credentials(&certificates);
    made->certificates_ = certificates;
    const gnutls_datum_t cert{
        reinterpret_cast<unsigned char*>(const_cast<char*>(identity.certificate.constData())),
        static_cast<unsigned>(identity.certificate.size())};
    const gnutls_datum_t key{
        reinterpret_cast<unsigned char*>(const_cast<char*>(identity.key.constData())),
        static_cast<unsigned>(identity.key.size())};
    if (const int r =
            gnutls_certificate_set_x509_key_mem(certificates, &cert, &key, GNUTLS_X509_FMT_PEM);
        r < 0) {
        error = QString("the certificate is not taken: ") + gnutls_strerror(r);
        return nullptr;
    }
    gnutls_priority_t priority = nullptr;
    if (const int r = gnutls_priority_init2(&priority, kPriority, nullptr, 0); r < 0) {
        error = QString("no TLS priorities: ") + gnutls_strerror(r);
        return nullptr;
    }
    made->priority_ = priority;
    return made;
}

TlsCredentials::~TlsCredentials() {
    if (priority_)
        gnutls_priority_deinit(static_cast<gnutls_priority_t>(priority_));
    if (certificates_)
        gnutls_certificate_free_credentials(
            static_cast<gnutls_certificate_credentials_t>(certificates_));
}

// The session and the bytes between it and the connection.
struct TlsChannel::Io {
    gnutls_session_t session = nullptr;
    const char* in = nullptr; // what the client sent, not yet taken by GnuTLS
    size_t inSize = 0;
    QByteArray pending; // the part of it left from an earlier call
    QByteArray* out = nullptr;

    static ssize_t Pull(gnutls_transport_ptr_t p, void* data, size_t size) {
        Io& io = *static_cast<Io*>(p);
        if (io.pending.isEmpty() && io.inSize == 0) {
            gnutls_transport_set_errno(io.session, EAGAIN);
            return -1;
        }
        size_t n;
        if (!io.pending.isEmpty()) {
            n = std::min(size, static_cast<size_t>(io.pending.size()));
            memcpy(data, io.pending.constData(), n);
            io.pending.remove(0, static_cast<qsizetype>(n));
        } else {
            n = std::min(size, io.inSize);
            memcpy(data, io.in, n);
            io.in += n;
            io.inSize -= n;
        }
        return static_cast<ssize_t>(n);
    }
    static ssize_t Push(gnutls_transport_ptr_t p, const void* data, size_t size) {
        Io& io = *static_cast<Io*>(p);
        if (io.out)
            io.out->append(static_cast<const char*>(data), static_cast<qsizetype>(size));
        return static_cast<ssize_t>(size);
    }
    // What the call left of the client's bytes waits for the next.
    void keepRest() {
        if (inSize > 0)
            pending.append(in, static_cast<qsizetype>(inSize));
        in = nullptr;
        inSize = 0;
        out = nullptr;
    }
};

TlsChannel::TlsChannel(std::shared_ptr<const TlsCredentials> credentials)
    : credentials_(std::move(credentials)), io_(std::make_unique<Io>()) {
    gnutls_init(&io_->session, GNUTLS_SERVER | GNUTLS_NONBLOCK);
    gnutls_priority_set(io_->session, static_cast<gnutls_priority_t>(credentials_->priority_));
    gnutls_credentials_set(
        io_->session, GNUTLS_CRD_CERTIFICATE,
        static_cast<gnutls_certificate_credentials_t>(credentials_->certificates_));
    gnutls_certificate_server_set_request(io_->session, GNUTLS_CERT_IGNORE);
    gnutls_transport_set_ptr(io_->session, io_.get());
    gnutls_transport_set_pull_function(io_->session, &Io::Pull);
    gnutls_transport_set_push_function(io_->session, &Io::Push);
}

TlsChannel::~TlsChannel() {
    gnutls_deinit(io_->session);
}

void TlsChannel::fail(int code, QByteArray& wire) {
    io_->out = &wire;
    if (code == GNUTLS_E_REHANDSHAKE)
        error_ = "the client asked to renegotiate, which is refused";
    else
        error_ = QString::fromUtf8(gnutls_strerror(code));
    gnutls_alert_send_appropriate(io_->session, code);
    state_ = State::Failed;
}

TlsChannel::State TlsChannel::take(const char* data, size_t size, QByteArray& plain,
                                   QByteArray& wire) {
    if (state_ == State::Closed || state_ == State::Failed)
        return state_;
    io_->in = data;
    io_->inSize = size;
    io_->out = &wire;
    if (state_ == State::Handshake) {
        const int r = gnutls_handshake(io_->session);
        if (r == GNUTLS_E_SUCCESS)
            state_ = State::Open;
        else if (r != GNUTLS_E_AGAIN && r != GNUTLS_E_INTERRUPTED && gnutls_error_is_fatal(r))
            fail(r, wire);
    }
    char record[kRecord];
    while (state_ == State::Open) {
        const ssize_t n = gnutls_record_recv(io_->session, record, sizeof record);
        if (n > 0) {
            plain.append(record, static_cast<qsizetype>(n));
        } else if (n == 0) {
            state_ = State::Closed;
        } else if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) {
            break;
        } else if (n == GNUTLS_E_REHANDSHAKE || gnutls_error_is_fatal(static_cast<int>(n))) {
            fail(static_cast<int>(n), wire);
        }
    }
    io_->keepRest();
    return state_;
}

void TlsChannel::send(std::string_view plain, QByteArray& wire) {
    if (state_ != State::Open || closing_)
        return;
    io_->out = &wire;
    while (!plain.empty()) {
        const ssize_t n = gnutls_record_send(io_->session, plain.data(), plain.size());
        if (n <= 0) {
            if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED)
                continue; // the push function takes everything: not seen
            fail(static_cast<int>(n), wire);
            break;
        }
        plain.remove_prefix(static_cast<size_t>(n));
    }
    io_->out = nullptr;
}

void TlsChannel::close(QByteArray& wire) {
    if ((state_ == State::Open || state_ == State::Closed) && !closing_) {
        io_->out = &wire;
        gnutls_bye(io_->session, GNUTLS_SHUT_WR);
        io_->out = nullptr;
        closing_ = true;
    } else {
        state_ = State::Closed;
    }
}

QByteArray TlsChannel::rest() {
    return std::exchange(io_->pending, {});
}
