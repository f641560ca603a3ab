// Who may drive the card, below the servers: the certificate the program
// makes and keeps, TLS through memory against a GnuTLS client, SASL
// exchanges against a GNU SASL client, and the brake on guessed passwords.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <gnutls/gnutls.h>
#include <gsasl.h>

#include "Credentials.h"
#include "LoginGuard.h"
#include "SaslServer.h"
#include "TestRegistry.h"
#include "TlsChannel.h"
#include "TlsIdentity.h"

namespace NV815_TEST_UNIT {

// A GnuTLS client trusting `ca`, its bytes through memory.
struct TlsClient {
    gnutls_session_t session = nullptr;
    gnutls_certificate_credentials_t creds = nullptr;
    QByteArray in, out;
    explicit TlsClient(const QByteArray& ca) {
        gnutls_certificate_allocate_credentials(&creds);
        const gnutls_datum_t d{reinterpret_cast<unsigned char*>(const_cast<char*>(ca.data())),
                               static_cast<unsigned>(ca.size())};
        gnutls_certificate_set_x509_trust_mem(creds, &d, GNUTLS_X509_FMT_PEM);
        gnutls_init(&session, GNUTLS_CLIENT | GNUTLS_NONBLOCK);
        gnutls_set_default_priority(session);
        gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, creds);
        gnutls_session_set_verify_cert(session, "localhost", 0);
        gnutls_transport_set_ptr(session, this);
        gnutls_transport_set_push_function(
            session, [](gnutls_transport_ptr_t p, const void* b, size_t n) -> ssize_t {
                static_cast<TlsClient*>(p)->out.append(static_cast<const char*>(b), qsizetype(n));
                return ssize_t(n);
            });
        gnutls_transport_set_pull_function(
            session, [](gnutls_transport_ptr_t p, void* b, size_t n) -> ssize_t {
                auto* c = static_cast<TlsClient*>(p);
                if (c->in.isEmpty()) {
                    gnutls_transport_set_errno(c->session, EAGAIN);
                    return -1;
                }
                n = std::min(n, size_t(c->in.size()));
                memcpy(b, c->in.constData(), n);
                c->in.remove(0, qsizetype(n));
                return ssize_t(n);
            });
    }
    ~TlsClient() {
        gnutls_deinit(session);
        gnutls_certificate_free_credentials(creds);
    }
    // Handshake steps until it ends; the server answers each.
    int handshake(TlsChannel& server, QByteArray& plain) {
        int r = GNUTLS_E_AGAIN;
        for (int i = 0; i < 10 && r == GNUTLS_E_AGAIN; ++i) {
            r = gnutls_handshake(session);
            QByteArray wire;
            server.take(out.constData(), size_t(out.size()), plain, wire);
            out.clear();
            in += wire;
        }
        return r;
    }
};

class TestSecure : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void theOwnCertificateIsMadeOnceKeptPrivateAndPinned() {
        QString error;
        const auto made = TlsIdentity::Own(dir_.path(), {"bench7"}, {"192.0.2.7"}, error);
        QVERIFY2(made, qPrintable(error));
        for (const char* f : {"/tls-key.pem", "/tls-certificate.pem"})
            QCOMPARE(QFile(dir_.path() + f).permissions() & 0x0077, QFileDevice::Permissions());
        const auto again = TlsIdentity::Own(dir_.path(), {}, {}, error);
        QVERIFY(again && again->fingerprint == made->fingerprint && again->selfSigned);
        QVERIFY(made->fingerprint.startsWith("SHA256 ") && made->fingerprint.size() == 7 + 95);
        QVERIFY(made->publicKeyPin.startsWith("sha256//") && made->publicKeyPin.size() == 52);
        // Another key with the certificate; a key others may read.
        QTemporaryDir other;
        QVERIFY(TlsIdentity::Own(other.path(), {}, {}, error));
        QVERIFY(!TlsIdentity::Load(dir_.path() + "/tls-certificate.pem",
                                   other.path() + "/tls-key.pem", error));
        QVERIFY2(error.endsWith("the key is not the certificate's"), qPrintable(error));
        QFile(other.path() + "/tls-key.pem").setPermissions(QFile::ReadOwner | QFile::ReadOther);
        QVERIFY(!TlsIdentity::Own(other.path(), {}, {}, error) && error.contains("chmod 600"));
        QVERIFY(!TlsIdentity::Load(dir_.path() + "/none.pem", dir_.path() + "/tls-key.pem", error));
    }

    void tlsCarriesBytesBothWaysAndFailsOnGarbage() {
        QString error;
        const auto id = TlsIdentity::Own(dir_.path(), {}, {}, error);
        const auto creds = TlsCredentials::Make(*id, error);
        QVERIFY2(creds, qPrintable(error));
        TlsChannel server(creds);
        TlsClient client(id->certificate);
        QByteArray plain, wire;
        QCOMPARE(client.handshake(server, plain), GNUTLS_E_SUCCESS);
        QCOMPARE(server.state(), TlsChannel::State::Open);
        gnutls_record_send(client.session, "*IDN?\n", 6);
        server.take(client.out.constData(), size_t(client.out.size()), plain, wire);
        client.out.clear();
        QCOMPARE(plain, QByteArray("*IDN?\n"));
        wire.clear();
        server.send("NV,72-815\n", wire);
        client.in = wire;
        char back[64] = {};
        QCOMPARE(gnutls_record_recv(client.session, back, sizeof back), ssize_t(10));
        // close_notify both ways: clear again after it, what came after kept.
        wire.clear();
        server.close(wire);
        client.in = wire;
        QCOMPARE(gnutls_record_recv(client.session, back, sizeof back), ssize_t(0));
        gnutls_bye(client.session, GNUTLS_SHUT_WR);
        client.out += "HS";
        server.take(client.out.constData(), size_t(client.out.size()), plain, wire);
        QCOMPARE(server.state(), TlsChannel::State::Closed);
        QCOMPARE(server.rest(), QByteArray("HS"));

        // A client asking to renegotiate (TLS 1.2) is refused: the channel fails.
        TlsChannel renegotiated(creds);
        TlsClient old(id->certificate);
        gnutls_priority_set_direct(old.session, "NORMAL:-VERS-ALL:+VERS-TLS1.2", nullptr);
        QCOMPARE(old.handshake(renegotiated, plain), GNUTLS_E_SUCCESS);
        QVERIFY(old.handshake(renegotiated, plain) < 0);
        QCOMPARE(renegotiated.state(), TlsChannel::State::Failed);

        TlsChannel garbage(creds);
        plain.clear();
        const QByteArray junk(300, 'x');
        QCOMPARE(garbage.take(junk.constData(), size_t(junk.size()), plain, wire),
                 TlsChannel::State::Failed);
        QVERIFY(!garbage.error().isEmpty() && plain.isEmpty());
        // A client that does not trust the certificate gives up; nothing opens.
        QTemporaryDir elsewhere;
        TlsChannel untrusted(creds);
        TlsClient stranger(TlsIdentity::Own(elsewhere.path(), {}, {}, error)->certificate);
        QVERIFY(stranger.handshake(untrusted, plain) < 0);
        QVERIFY(untrusted.state() != TlsChannel::State::Open);
    }

    void saslChecksScramAndPlainAgainstTheUsers() {
        Credentials users;
        QString error;
        QVERIFY(users.set("alice", "s3cret", error));
        Gsasl* ctx = nullptr;
        QCOMPARE(gsasl_init(&ctx), int(GSASL_OK));
        struct Case {
            const char *mech, *user, *password;
            bool anonymous;
            SaslServer::Step end;
        };
        const Case cases[] = {
            {"SCRAM-SHA-256", "alice", "s3cret", false, SaslServer::Step::Done},
            {"SCRAM-SHA-256", "alice", "s3creT", false, SaslServer::Step::Failed},
            {"SCRAM-SHA-256", "mallory", "s3cret", false, SaslServer::Step::Failed},
            {"PLAIN", "alice", "s3cret", false, SaslServer::Step::Done},
            {"PLAIN", "alice", "guess", false, SaslServer::Step::Failed},
            {"ANONYMOUS", "", "", true, SaslServer::Step::Done},
        };
        for (const Case& c : cases) {
            SaslServer server(users, c.anonymous);
            QVERIFY(server.start(c.mech, error));
            Gsasl_session* client = nullptr;
            QCOMPARE(gsasl_client_start(ctx, c.mech, &client), int(GSASL_OK));
            gsasl_property_set(client, GSASL_AUTHID, c.user);
            gsasl_property_set(client, GSASL_PASSWORD, c.password);
            gsasl_property_set(client, GSASL_ANONYMOUS_TOKEN, "bench");
            QByteArray toServer, toClient;
            SaslServer::Step step = SaslServer::Step::More;
            for (int i = 0; i < 5 && step == SaslServer::Step::More; ++i) {
                char* out = nullptr;
                size_t size = 0;
                gsasl_step(client, toClient.constData(), size_t(toClient.size()), &out, &size);
                toServer = QByteArray(out, qsizetype(size));
                gsasl_free(out);
                step = server.step(toServer, toClient);
            }
            gsasl_finish(client);
            QVERIFY2(step == c.end,
                     qPrintable(QString(c.mech) + " " + c.password + ": " + server.error()));
            if (c.end == SaslServer::Step::Done)
                QCOMPARE(server.user(), QString(c.anonymous ? "anonymous" : c.user));
        }
        gsasl_done(ctx);
        SaslServer closed(users, false);
        QVERIFY(!closed.start("ANONYMOUS", error) && !closed.start("CRAM-MD5", error));
        QCOMPARE(closed.mechanisms(), QByteArray("SCRAM-SHA-256 PLAIN"));
    }

    void guessesWaitLongerAndLonger() {
        using ms = std::chrono::milliseconds;
        LoginGuard guard;
        const QHostAddress a("192.0.2.7"), b("192.0.2.8"), mapped("::ffff:192.0.2.7");
        QCOMPARE(guard.admit(a), ms(0));
        guard.failed(a);
        // The same address waits a second, as an IPv6 socket sees it too.
        QVERIFY(guard.admit(mapped) > ms(900));
        // Others wait for slots of their own, a quarter second apart.
        const ms first = guard.admit(b), second = guard.admit(b);
        QVERIFY(second - first >= LoginGuard::kSpacing - ms(5));
        for (int i = 0; i < 6; ++i)
            guard.failed(a);
        QVERIFY(guard.admit(a) > ms(60000 - 1000));
        QCOMPARE(guard.failures(), 7);
        guard.succeeded(a);
        QVERIFY(guard.admit(a) < ms(60000 - 1000));
    }
};

NV815_TEST_GUILESS_MAIN(TestSecure)
} // namespace NV815_TEST_UNIT

#include "tst_secure.moc"
