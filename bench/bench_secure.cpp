// What security costs, each against the same without it on one server:
// *IDN? and a whole wave memory over HiSLIP with TLS against plain HiSLIP,
// a page load (a new connection each time) over HTTPS against HTTP, and
// connections to the raw socket through an allow list against none.
#include <benchmark/benchmark.h>

#include <gnutls/gnutls.h>

#include "ServedCard.h"

namespace {

// One server offering TLS (HTTPS asks for a certificate) and the web pages both ways.
Served& SecureServer() {
    static Served served({"--no-vxi11", "--http-port", "0", "--https-port", "0"});
    return served;
}

// A GnuTLS client on a connected socket (the certificate not checked: the
// figure is the channel's).
struct TlsClient {
    gnutls_session_t session = nullptr;
    gnutls_certificate_credentials_t creds = nullptr;
    bool ok = false;
    explicit TlsClient(int fd) {
        gnutls_certificate_allocate_credentials(&creds);
        gnutls_init(&session, GNUTLS_CLIENT);
        gnutls_set_default_priority(session);
        gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, creds);
        gnutls_transport_set_int(session, fd);
        int r;
        do
            r = gnutls_handshake(session);
        while (r < 0 && !gnutls_error_is_fatal(r));
        ok = r == GNUTLS_E_SUCCESS;
    }
    ~TlsClient() {
        gnutls_deinit(session);
        gnutls_certificate_free_credentials(creds);
    }
    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = gnutls_record_send(session, bytes.data(), bytes.size());
            if (n <= 0)
                return false;
            bytes.remove_prefix(size_t(n));
        }
        return true;
    }
};

// A HiSLIP session whose channels went over to TLS after AsyncStartTLS and StartTLS.
struct SecureHislip {
    HislipSession plain;
    std::unique_ptr<TlsClient> sync, async;
    hislip::Reader reader{1 << 24};
    std::string pending;
    uint32_t id = hislip::kFirstMessageId;
    bool ok = false;
    explicit SecureHislip(const Served& served) : plain(served) {
        hislip::Header h;
        std::string payload;
        if (!plain.ok || !HislipSession::Send(plain.async, hislip::AsyncStartTLS, 1, id) ||
            !HislipSession::Next(plain.async, h, payload) || h.control != 1)
            return;
        async = std::make_unique<TlsClient>(plain.async);
        if (!async->ok || !HislipSession::Send(plain.sync, hislip::StartTLS, 0, 0))
            return;
        sync = std::make_unique<TlsClient>(plain.sync);
        ok = sync->ok;
    }
    bool next(hislip::Header& h) {
        char buffer[65536];
        for (;;) {
            size_t taken = 0;
            if (!pending.empty()) {
                const auto result = reader.take(pending.data(), pending.size(), taken);
                pending.erase(0, taken);
                if (result == hislip::Reader::Result::Message) {
                    h = reader.header();
                    return true;
                }
            }
            const ssize_t n = gnutls_record_recv(sync->session, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            pending.append(buffer, size_t(n));
        }
    }
    bool ask(const QByteArray& message) {
        if (!sync->send(hislip::Encode(hislip::DataEnd, 1, id,
                                       {message.constData(), size_t(message.size())})))
            return false;
        hislip::Header h;
        while (next(h))
            if (h.type == hislip::DataEnd && h.parameter == id) {
                id += 2;
                return true;
            }
        return false;
    }
};

template <class Session> void Asks(benchmark::State& state, Session& session, bool block) {
    if (!session.ok)
        return state.SkipWithError("no HiSLIP session");
    const QByteArray even = block ? WaveBlock(0) : "*IDN?\n", odd = block ? WaveBlock(1) : even;
    bool k = false;
    for (auto _ : state)
        if (!session.ask((k = !k) ? odd : even))
            return state.SkipWithError("no answer");
    state.SetItemsProcessed(state.iterations());
}

void BM_HislipPlainIdn(benchmark::State& state) {
    HislipSession session(SecureServer());
    Asks(state, session, false);
}
BENCHMARK(BM_HislipPlainIdn)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_HislipTlsIdn(benchmark::State& state) {
    SecureHislip session(SecureServer());
    Asks(state, session, false);
}
BENCHMARK(BM_HislipTlsIdn)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_HislipPlainBlock262144(benchmark::State& state) {
    HislipSession session(SecureServer());
    Asks(state, session, true);
}
BENCHMARK(BM_HislipPlainBlock262144)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HislipTlsBlock262144(benchmark::State& state) {
    SecureHislip session(SecureServer());
    Asks(state, session, true);
}
BENCHMARK(BM_HislipTlsBlock262144)->Unit(benchmark::kMillisecond)->UseRealTime();

// GET / on a new connection, the whole answer read (the server closes it).
bool LoadPage(quint16 port, bool tls) {
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return false;
    const std::string_view get = "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    char buffer[16384];
    size_t got = 0;
    if (tls) {
        TlsClient client(fd);
        if (client.ok && client.send(get))
            for (ssize_t n; (n = gnutls_record_recv(client.session, buffer, sizeof buffer)) > 0;)
                got += size_t(n);
    } else if (send(fd, get.data(), get.size(), 0) == ssize_t(get.size())) {
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            got += size_t(n);
    }
    close(fd);
    return got > 100;
}

void PageLoads(benchmark::State& state, bool tls) {
    const quint16 port = tls ? SecureServer().httpsPort : SecureServer().httpPort;
    if (port == 0)
        return state.SkipWithError("no web page");
    for (auto _ : state)
        if (!LoadPage(port, tls))
            return state.SkipWithError("no page");
    state.SetItemsProcessed(state.iterations());
}

void BM_HttpPageLoad(benchmark::State& state) {
    PageLoads(state, false);
}
BENCHMARK(BM_HttpPageLoad)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_HttpsPageLoad(benchmark::State& state) {
    PageLoads(state, true);
}
BENCHMARK(BM_HttpsPageLoad)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A connection to the raw socket, *IDN? answered, closed: without an allow
// list, and through one naming a few networks (the loopback's last).
void Connections(benchmark::State& state, const Served& served) {
    if (!served.ok)
        return state.SkipWithError("the server did not start");
    const quint16 port = served.rawPort;
    char buffer[256];
    for (auto _ : state) {
        const int fd = ConnectLoopback(port);
        bool answered = fd >= 0 && send(fd, "*IDN?\n", 6, 0) == 6 && recv(fd, buffer, 256, 0) > 0;
        if (fd >= 0)
            close(fd);
        if (!answered)
            return state.SkipWithError("no answer");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ConnectionsOpen(benchmark::State& state) {
    static Served open({"--no-http", "--no-vxi11", "--no-hislip"});
    Connections(state, open);
}
BENCHMARK(BM_ConnectionsOpen)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ConnectionsAllowList(benchmark::State& state) {
    static Served allowed({"--no-http", "--no-vxi11", "--no-hislip", "--allow",
                           "10.0.0.0/8,192.168.0.0/16,fd00::/8,127.0.0.1"});
    Connections(state, allowed);
}
BENCHMARK(BM_ConnectionsAllowList)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
