// The web pages' server against hostile and careless clients, on loopback
// sockets: slow and idle clients hold neither the page nor more than their
// own address's share; any method but GET and HEAD is 405 with Allow (its
// body read, the connection kept); HEAD says the length GET sends; the
// identification document passes the LXI schema (the tests' own copy),
// which the server serves too, and lists the interface reached first.
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "Card.h"
#include "LxiWebServer.h"
#include "ScpiDevice.h"
#include "Serving.h"
#include "TestRegistry.h"
#include "Vxi11Server.h"

namespace NV815_TEST_UNIT {

using namespace std::chrono_literals;

// One HTTP connection from `from`.
class Http {
public:
    Http(quint16 port, const char* from = "127.0.0.1") {
        socket_.bind(QHostAddress(from));
        socket_.connectToHost(QString(from).contains(':') ? QHostAddress::LocalHostIPv6
                                                          : QHostAddress::LocalHost,
                              port);
        socket_.waitForConnected(2000);
    }
    void send(const QByteArray& bytes) {
        socket_.write(bytes);
        socket_.flush();
    }
    // The next response's head and body (as far as Content-Length says);
    // empty when none came within `ms` or the connection was closed.
    std::pair<QByteArray, QByteArray> response(int ms = 3000, bool head = false) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < ms) {
            in_ += socket_.readAll();
            const qsizetype end = in_.indexOf("\r\n\r\n");
            if (end >= 0) {
                const QByteArray top = in_.left(end + 4);
                const QRegularExpressionMatch m =
                    QRegularExpression("Content-Length: (\\d+)",
                                       QRegularExpression::CaseInsensitiveOption)
                        .match(QString::fromLatin1(top));
                const qsizetype length = head || !m.hasMatch() ? 0 : m.captured(1).toLongLong();
                if (in_.size() >= end + 4 + length) {
                    const QByteArray body = in_.mid(end + 4, length);
                    in_.remove(0, end + 4 + length);
                    return {top, body};
                }
            }
            if (socket_.state() != QAbstractSocket::ConnectedState)
                break;
            QTest::qWait(5);
        }
        return {};
    }
    bool open() {
        QTest::qWait(20);
        socket_.readAll();
        return socket_.state() == QAbstractSocket::ConnectedState;
    }

private:
    QTcpSocket socket_;
    QByteArray in_;
};

QByteArray Get(const char* path, const char* method = "GET") {
    return QByteArray(method) + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

class TestLxiWeb : public QObject {
    Q_OBJECT
    LxiPage page{
        "Norvale",     "72-815",
        "1001",        "1.46",
        "a card",      "host",
        {"127.0.0.1"}, {"TCPIP0::127.0.0.1::5025::SOCKET", "TCPIP0::127.0.0.1::inst0::INSTR"},
        "1 off\n",     {}};
    std::unique_ptr<LxiWebServer> server;
    quint16 port() const { return server->port(); }

private slots:
    void init() {
        server = std::make_unique<LxiWebServer>([this] { return page; });
        server->setRequestTime(600ms);
        QString error;
        QVERIFY2(server->listen(QHostAddress::LocalHost, 0, error), qPrintable(error));
    }
    void cleanup() { server.reset(); }

    // The allow list: addresses and networks of each family (an IPv4 peer
    // seen through IPv6 counts as IPv4); every server turns a newcomer from
    // elsewhere away at once, counts it and says so.
    void anAllowListKeepsOthersOut() {
        QString error;
        const auto list = clients::AllowList::Parse("127.0.0.1, 10.1.0.0/16,::1", error);
        QVERIFY2(list, qPrintable(error));
        const struct {
            const char* peer;
            bool allowed;
        } rows[] = {{"127.0.0.1", true}, {"10.1.255.3", true},      {"10.2.0.1", false},
                    {"::1", true},       {"::ffff:10.1.2.3", true}, {"fe80::1", false},
                    {"127.0.0.2", false}};
        for (const auto& r : rows)
            QVERIFY2(list->allows(QHostAddress(r.peer)) == r.allowed, r.peer);
        QVERIFY(!clients::AllowList::Parse("10.1.0.0/40", error) && error.contains("10.1.0.0/40"));
        QVERIFY(!clients::AllowList::Parse("127.0.0.1,host.example", error));
        QVERIFY(clients::AllowList::Parse(" ", error)->empty());

        Card card;
        ScpiDevice device([&card] { return &card; }, [] { return scpi::Identity{}; });
        Serving serving(device, card);
        ServeOptions options;
        options.transports = {{"raw", 0}, {"hislip", 0}, {"http", 0}};
        options.mdns = false;
        options.allow = *clients::AllowList::Parse("10.1.0.0/16", error);
        QStringList refused;
        connect(&serving, &Serving::clientRefused,
                [&](const QString& peer, const QString& transport, const QString& why) {
                    QVERIFY(peer.startsWith("127.0.0.1:"));
                    refused << transport + ": " + why;
                });
        QVERIFY2(serving.start(options, error), qPrintable(error));
        Vxi11Server vxi11; // its core and abort channels, through a door of its own
        auto door = std::make_shared<clients::Door>();
        door->allow = options.allow;
        vxi11.setDoor(door);
        vxi11.setUsePortMapper(false);
        QVERIFY(vxi11.listen(QHostAddress::LocalHost, 0, error));
        for (const quint16 port : {serving.port("raw"), serving.port("hislip"),
                                   serving.port("http"), vxi11.port(), vxi11.abortPort()}) {
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(client.waitForConnected(2000));
            QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
        }
        QCOMPARE(refused,
                 (QStringList{"raw socket: not on the allow list", "HiSLIP: not on the allow list",
                              "HTTP: not on the allow list"}));
        QCOMPARE(serving.refusedCount(), 3);
        QCOMPARE(door->refusedCount, 2);
    }

    // Two cards served from one process: each welcome page links to both
    // front panels, at the host the client named (a Host header that is no
    // host name gives the address reached instead).
    void severalCardsListEachPanel() {
        Card cards[2];
        std::vector<std::unique_ptr<ScpiDevice>> devices;
        std::vector<std::unique_ptr<Serving>> servings;
        ServeOptions options;
        options.addresses = {QHostAddress("127.0.0.1")};
        options.transports = {{"http", 0}};
        options.mdns = false;
        for (Card& card : cards) {
            devices.push_back(std::make_unique<ScpiDevice>([&card] { return &card; },
                                                           [] { return scpi::Identity{}; }));
            servings.push_back(std::make_unique<Serving>(*devices.back(), card));
            QString problem;
            QVERIFY2(servings.back()->start(options, problem), qPrintable(problem));
        }
        const QString first = QString::number(servings[0]->port("http")),
                      second = QString::number(servings[1]->port("http"));
        Http page(servings[0]->port("http"));
        page.send("GET / HTTP/1.1\r\nHost: bench7:" + first.toLatin1() + "\r\n\r\n");
        const QByteArray html = page.response().second;
        QVERIFY(html.contains("Front panels served here"));
        QVERIFY(html.contains("<a href=\"http://bench7:" + first.toLatin1() + "/panel\">"));
        QVERIFY(html.contains("<a href=\"http://bench7:" + second.toLatin1() + "/panel\">"));
        QCOMPARE(html.count("(this one)"), qsizetype(1));
        Http forged(servings[1]->port("http"));
        forged.send("GET / HTTP/1.1\r\nHost: \"><script>x</script>\r\n\r\n");
        const QByteArray safe = forged.response().second;
        QVERIFY(!safe.contains("<script>"));
        QVERIFY(safe.contains("http://127.0.0.1:" + first.toLatin1() + "/panel"));
        servings[1]->stop();
        page.send(Get("/"));
        QVERIFY(!page.response().second.contains("Front panels served here"));
    }

    // The hosts a listening address is reached at, each family where it is
    // served; an IPv6 host's resource strings in brackets.
    void hostsAndStringsOfEachFamily() {
        const QStringList v4 = HostsReaching(QHostAddress::AnyIPv4);
        const QStringList v6 = HostsReaching(QHostAddress::AnyIPv6);
        QVERIFY(v4.contains("127.0.0.1") && !v4.contains("::1"));
        QVERIFY(v6.contains("::1") && !v6.contains("127.0.0.1"));
        QVERIFY(!v6.join(" ").contains("fe80"));
        QCOMPARE(HostsReaching(QHostAddress::Any).size(), v4.size() + v6.size());
        QCOMPARE(HostsReaching(QHostAddress("::1")), QStringList{"::1"});
        // Served on 127.0.0.1 and ::1: every server on both, one port each;
        // VXI-11 (IPv4's only) fails alone on ::1 alone.
        Card card;
        ScpiDevice device([&card] { return &card; }, [] { return scpi::Identity{}; });
        Serving serving(device, card);
        ServeOptions options;
        options.addresses = {QHostAddress("127.0.0.1"), QHostAddress("::1")};
        options.transports = {{"raw", 0}, {"hislip", 0}, {"http", 0}};
        options.mdns = false;
        QString problem;
        QVERIFY2(serving.start(options, problem), qPrintable(problem));
        const QString raw = QString::number(serving.port("raw")),
                      hislip = QString::number(serving.port("hislip")),
                      http = QString::number(serving.port("http"));
        QCOMPARE(
            serving.resourceStrings(),
            (QStringList{"TCPIP0::127.0.0.1::" + raw + "::SOCKET",
                         "TCPIP0::127.0.0.1::hislip0," + hislip + "::INSTR",
                         "http://127.0.0.1:" + http + "/", "TCPIP0::[::1]::" + raw + "::SOCKET",
                         "TCPIP0::[::1]::hislip0," + hislip + "::INSTR",
                         "http://[::1]:" + http + "/"}));
        QVERIFY(serving.failures().empty());
        for (const char* host : {"127.0.0.1", "::1"}) {
            Http page(serving.port("http"), host);
            page.send(Get("/"));
            QVERIFY2(page.response().first.startsWith("HTTP/1.1 200"), host);
        }
        serving.stop();
        options.addresses = {QHostAddress("::1")};
        options.transports = {{"raw", 0}, {"vxi11", 0}};
        QVERIFY2(serving.start(options, problem), qPrintable(problem));
        QCOMPARE(serving.failures().size(), size_t(1));
        QCOMPARE(serving.failures().front().problem,
                 QString("VXI-11 listens on IPv4 addresses only"));
        // The raw socket that cannot listen stops them all.
        Serving second(device, card);
        options.transports = {{"raw", serving.port("raw")}, {"hislip", 0}};
        QVERIFY(!second.start(options, problem) && !second.listening());
    }

    // Sixteen clients sending a header line now and then, and sixteen that
    // send nothing, from one address: others are served at once, and that
    // address too once their requests' time is up.
    void slowAndIdleClientsHoldNobody() {
        std::vector<std::unique_ptr<Http>> slow, idle;
        for (int i = 0; i < 16; ++i) {
            slow.push_back(std::make_unique<Http>(port()));
            slow.back()->send("GET / HTTP/1.1\r\n");
            idle.push_back(std::make_unique<Http>(port()));
        }
        for (int round = 0; round < 2; ++round) {
            QTest::qWait(200);
            for (auto& s : slow)
                s->send("X-Slow: 1\r\n");
        }
        Http other(port(), "127.0.0.2");
        other.send(Get("/"));
        QVERIFY(other.response().second.contains("72-815"));
        QTest::qWait(600); // every request beyond its time is cut
        Http same(port());
        same.send(Get("/"));
        QVERIFY(same.response().second.contains("72-815"));
        QCOMPARE(std::count_if(slow.begin(), slow.end(), [](auto& s) { return s->open(); }), 0L);
        QCOMPARE(std::count_if(idle.begin(), idle.end(), [](auto& s) { return s->open(); }), 0L);
    }

    void methodsAndHead() {
        Http c(port());
        c.send("PUT / HTTP/1.1\r\nHost: x\r\nContent-Length: 20000\r\n\r\n" +
               QByteArray(20000, 'x'));
        const auto [top, body] = c.response();
        QVERIFY2(top.startsWith("HTTP/1.1 405"), top.constData());
        QVERIFY(top.contains("Allow: GET, HEAD\r\n"));
        c.send(Get("/")); // the connection goes on
        const QByteArray page = c.response().second;
        QVERIFY(page.contains("72-815"));
        c.send(Get("/", "HEAD"));
        const QByteArray head = c.response(3000, true).first;
        QVERIFY2(head.contains("Content-Length: " + QByteArray::number(page.size()) + "\r\n"),
                 head.constData());
        c.send(Get("/nothing"));
        QVERIFY(c.response().first.startsWith("HTTP/1.1 404"));
    }

    // The document passes the schema (where xmllint is installed); the
    // schema the server serves is the LXI Consortium's, as the tests keep
    // it; the interface reached is listed first; strings are TCPIP::.
    void identificationPassesTheSchema() {
        page.addresses = {"192.0.2.10", "127.0.0.1"};
        page.resources << "TCPIP0::192.0.2.10::inst0::INSTR";
        Http c(port());
        c.send(Get("/lxi/identification.xsd"));
        QFile schema(QFINDTESTDATA("LXIIdentification.xsd"));
        QVERIFY(schema.open(QIODevice::ReadOnly));
        QCOMPARE(c.response().second, schema.readAll());
        c.send(Get("/lxi/identification"));
        const QByteArray document = c.response().second;
        QVERIFY(document.contains(
            "schemaLocation=\"http://www.lxistandard.org/InstrumentIdentification/"
            "1.0 http://127.0.0.1/lxi/identification.xsd\""));
        QVERIFY(document.indexOf("<IPAddress>127.0.0.1<") <
                document.indexOf("<IPAddress>192.0.2.10<"));
        QVERIFY(document.contains("<InstrumentAddressString>TCPIP::127.0.0.1::inst0::INSTR<"));
        QVERIFY(!document.contains("TCPIP0"));
        if (QStandardPaths::findExecutable("xmllint").isEmpty())
            QSKIP("xmllint is not installed (libxml2-utils)");
        QTemporaryDir dir;
        QFile file(dir.filePath("identification.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(document) == document.size());
        file.close();
        QProcess xmllint;
        xmllint.start("xmllint", {"--noout", "--schema", schema.fileName(), file.fileName()});
        QVERIFY(xmllint.waitForFinished(10000));
        QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());
    }
};

NV815_TEST_GUILESS_MAIN(TestLxiWeb)
} // namespace NV815_TEST_UNIT

#include "tst_lxiweb.moc"
