// The program serving the simulated card on the loopback, for the
// benchmarks of its servers: plain sockets as clients (the figures are the
// server's, not a client library's), and a HiSLIP session over two of them.
#pragma once

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "HislipMessage.h"
#include "SimulatedLibraries.h"

// A plain socket connected to the loopback's `port` (-1 when it cannot be),
// sending at once.
inline int ConnectLoopback(quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        return fd;
    close(fd);
    return -1;
}

// The program serving the simulated card, and one connected client: a plain
// socket, so that the figure is the server's and not a client library's.
struct Served {
    QProcess server;
    int client = -1;
    quint16 vxi11Port = 0, hislipPort = 0;
    bool ok = false;
    quint16 rawPort = 0, httpPort = 0, httpsPort = 0;
    // `extra` options after --serve's own (the web pages are off unless
    // they ask for them); the certificate, where one is made, in a folder
    // of the benchmark's own.
    explicit Served(const QStringList& extra = {"--no-http"}) {
        QProcessEnvironment env;
        env.insert("LD_LIBRARY_PATH", NV815_SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        env.insert("XDG_CONFIG_HOME", QDir::tempPath() + "/nv815-bench-config");
        server.setProcessEnvironment(env);
        EndsWithParent(server); // a crashed benchmark leaves no server behind
        QStringList arguments{"--serve", "--resource", "PXI1::13::INSTR",
                              "--port",  "0",          "--no-mdns"};
        if (!extra.contains("--no-hislip"))
            arguments << "--hislip"
                      << "0";
        server.start(PROGRAM, arguments + extra);
        if (!server.waitForReadyRead(20000))
            return;
        const QRegularExpressionMatch m =
            QRegularExpression(":(\\d+) for").match(QString::fromLocal8Bit(server.readLine()));
        // Its resource strings: the raw socket's, then VXI-11's, HiSLIP's
        // and the pages' with their ports.
        const int lines =
            1 + (extra.contains("--no-vxi11") ? 0 : 1) + (extra.contains("--no-hislip") ? 0 : 1) +
            (extra.contains("--http-port") ? 1 : 0) + (extra.contains("--https-port") ? 1 : 0);
        for (int line = 0; line < lines && (server.canReadLine() || server.waitForReadyRead(5000));
             ++line) {
            const QString text = QString::fromLocal8Bit(server.readLine());
            if (const auto v = QRegularExpression("VXI-11, port (\\d+)").match(text); v.hasMatch())
                vxi11Port = v.captured(1).toUShort();
            if (const auto h = QRegularExpression("HiSLIP, port (\\d+)").match(text); h.hasMatch())
                hislipPort = h.captured(1).toUShort();
            if (const auto w = QRegularExpression("(https?)://127.0.0.1:(\\d+)/").match(text);
                w.hasMatch())
                (w.captured(1) == "https" ? httpsPort : httpPort) = w.captured(2).toUShort();
        }
        rawPort = m.hasMatch() ? m.captured(1).toUShort() : 0;
        client = rawPort ? ConnectLoopback(rawPort) : -1;
        ok = client >= 0;
    }
    ~Served() {
        if (client >= 0)
            close(client);
        server.terminate();
        server.waitForFinished(10000);
    }
    // Sends a line and reads its answer up to the LF.
    bool ask(const QByteArray& line) {
        if (send(client, line.constData(), static_cast<size_t>(line.size()), 0) != line.size())
            return false;
        char buffer[256];
        for (;;) {
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            if (buffer[n - 1] == '\n')
                return true;
        }
    }
};

// A whole wave memory (262144 samples) sent as one block and loaded, then
// *OPC? answered; each time other samples.
inline QByteArray WaveBlock(int seed) {
    QByteArray samples(2 * 262144, Qt::Uninitialized);
    for (int i = 0; i < 262144; ++i) {
        const auto v = static_cast<uint16_t>(i * 7 + seed);
        samples[2 * i] = static_cast<char>(v >> 8);
        samples[2 * i + 1] = static_cast<char>(v & 0xFF);
    }
    return "SOUR3:DATA #6524288" + samples + "\n*OPC?\n";
}

inline Served& TheServer() {
    static Served served;
    return served;
}

struct HislipSession {
    int sync = -1, async = -1;
    uint32_t id = hislip::kFirstMessageId;
    bool ok = false;
    explicit HislipSession(const Served& served = TheServer()) {
        if (!served.ok || served.hislipPort == 0)
            return;
        hislip::Header h;
        std::string payload;
        sync = ConnectLoopback(served.hislipPort);
        async = ConnectLoopback(served.hislipPort);
        ok = Send(sync, hislip::Initialize, 0, 0x0200'0000, "hislip0") && Next(sync, h, payload) &&
             Send(async, hislip::AsyncInitialize, 0, h.parameter & 0xFFFF) &&
             Next(async, h, payload) && h.type == hislip::AsyncInitializeResponse;
    }
    ~HislipSession() {
        for (int fd : {sync, async})
            if (fd >= 0)
                close(fd);
    }
    static bool Send(int fd, uint8_t type, uint8_t control, uint32_t parameter,
                     std::string_view payload = {}) {
        const std::string bytes = hislip::Encode(type, control, parameter, payload);
        return send(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    }
    static bool Next(int fd, hislip::Header& h, std::string& payload) {
        static hislip::Reader reader(1 << 24);
        char buffer[65536];
        for (;;) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_PEEK);
            if (n <= 0)
                return false;
            size_t taken = 0;
            const auto result = reader.take(buffer, static_cast<size_t>(n), taken);
            recv(fd, buffer, taken, 0); // what the reader took, out of the socket
            if (result == hislip::Reader::Result::Message) {
                h = reader.header();
                payload = reader.payload();
                return true;
            }
        }
    }
    // One message, then its response read whole.
    bool ask(const QByteArray& message) {
        if (!Send(sync, hislip::DataEnd, 1, id, {message.constData(), size_t(message.size())}))
            return false;
        hislip::Header h;
        std::string payload;
        while (Next(sync, h, payload))
            if (h.type == hislip::DataEnd && h.parameter == id) {
                id += 2;
                return true;
            }
        return false;
    }
};
